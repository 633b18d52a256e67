#pragma once
// The drawing of VellButton, kept apart from the widget so that every style
// and state can be painted into an image and checked pixel by pixel.
//
// Colours follow the button's own arithmetic (shifts of whole RGB steps,
// clamped per channel), not QColor::lighter/darker, so that a design looks
// the same wherever it is drawn.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QString>

namespace Vell {

// Button styles that are drawn; any other code paints only the face and picture.
enum Style : int { StyleShaded = 3, StyleTransparent = 11, StyleOffset = 14 };
enum class State { Normal, Pressed };

// A colour written the Windows way: &HBBGGRR, blue in the high byte.
QColor FromBgr(unsigned bgr);
unsigned ToBgr(const QColor& c);

// Moves red, green and blue by `amount` (-255..255), clamped to 0..255.
// With `soft` the amount is halved first. With `blueWeighting` blue moves by
// amount * blue / 192 instead, which keeps blue faces from washing out.
QColor Shift(const QColor& c, int amount, bool soft, bool blueWeighting = false);
// Moves every channel towards white: c + b * (255 - c) / 255 in effect.
QColor Lighten(const QColor& c, int by);
// Round to nearest, halves to the even neighbour.
int RoundEven(double x);
// Grey level of a picture pixel in greyscale mode.
int GreyOf(const QColor& c);

struct Palette {
    QColor face, hoverFace, light, highlight, shadow, darkShadow, text, hoverText, selection, paleSelection;
    QColor mask;
    QColor style3Face;
};

// The colours the button's own properties give.
struct PaletteInput {
    int scheme = 1;
    int style = StyleOffset;
    bool soft = false;
    QColor back, backOver, fore, foreOver, mask;
    QPalette system; // the platform's button colours (schemes 0 and 1)
    QColor parentBack, parentText; // the parent window's colours (scheme 4)
};
Palette MakePalette(const PaletteInput& in);

// Left/top/right/bottom, right and bottom excluded, as the layout rules are
// written; QRect's inclusive right edge would shift every figure by one.
struct Edges {
    int left = 0, top = 0, right = 0, bottom = 0;
    QRect rect() const { return QRect(left, top, right - left, bottom - top); }
    Edges moved(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    friend bool operator==(const Edges&, const Edges&) = default;
};

struct Layout {
    Edges caption;
    Edges captionPressed;
    Edges inner;
    QPoint picture;
    // The caption as it is drawn: broken into the lines that wrapping it in
    // the room beside the picture gave, its "&" marks kept. Drawing takes
    // these lines as they are and never wraps again.
    QString captionLines;
};

// A caption as it is measured and drawn: its CR LF line breaks as plain ones.
QString ShownCaption(const QString& caption);
// `shown` (a caption with plain line breaks and "&" marks) with a line break
// wherever word wrapping at `width` pixels in `font` breaks it.
QString WrapCaption(const QString& shown, const QFont& font, int width);

// Inner (focus) rectangle of a style for a w x h button.
Edges InnerRect(int style, int w, int h);
// Caption and picture placement for picture positions 0 (left of the caption),
// 1 (right), 2 (above), 3 (below) and 4 (behind).
Layout MakeLayout(int style, int w, int h, const QString& caption, const QFont& font, QSize picture, int picturePosition);
// The button's window shape: its rectangle less the cut corner pixels.
QRegion WindowShape(int style, int w, int h);

// Everything one painting needs.
struct PaintInput {
    int w = 0, h = 0;
    int style = StyleOffset;
    State state = State::Normal;
    bool enabled = true;
    bool hover = false;
    bool focus = false;
    bool isDefault = false;
    bool showFocusRect = true;
    bool soft = false;
    Palette palette;
    QString caption; // CR LF line breaks allowed, "&" marks the access key
    QFont font;
    Layout layout;
    QImage pictureNormal, pictureOver;
    bool useMaskColor = true;
    bool useGreyscale = false;
    int specialEffect = 0;
    QImage background; // what lies behind a style-11 button
};

// Paints the button into a w x h image.
QImage Paint(const PaintInput& in);

// Picture composition modes.
enum class PictureMode { Colour, Greyscale, Silhouette, DarkSilhouette };
// Draws `picture` onto `target` at (x, y): pixels in the key colour (when
// `key` is valid) or fully transparent let the target show through.
void DrawPicture(QImage& target, const QImage& picture, int x, int y, PictureMode mode, const QColor& key,
                 const QColor& silhouette = QColor());

} // namespace Vell
