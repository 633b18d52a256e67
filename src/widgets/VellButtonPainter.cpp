#include "widgets/VellButtonPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <span>

namespace Vell {

QColor FromBgr(unsigned bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

unsigned ToBgr(const QColor& c)
{
    return unsigned(c.red()) | (unsigned(c.green()) << 8) | (unsigned(c.blue()) << 16);
}

QColor Shift(const QColor& c, int amount, bool soft, bool blueWeighting)
{
    if (soft)
        amount /= 2;
    const auto clamp = [](int v) { return std::clamp(v, 0, 255); };
    const int blue = blueWeighting ? c.blue() + amount * c.blue() / 192 : c.blue() + amount;
    return QColor(clamp(c.red() + amount), clamp(c.green() + amount), clamp(blue));
}

QColor Lighten(const QColor& c, int by)
{
    const auto light = [by](int v) { return std::min(255, by + v * (255 - by) / 255); };
    return QColor(light(c.red()), light(c.green()), light(c.blue()));
}

int RoundEven(double x)
{
    return int(std::nearbyint(x)); // the default rounding mode sends halves to even
}

int GreyOf(const QColor& c)
{
    return RoundEven(RoundEven(0.30 * c.red()) + 0.59 * c.green() + 0.11 * c.blue());
}

Palette MakePalette(const PaletteInput& in)
{
    Palette p;
    const auto shiftedFromFace = [&p, &in] {
        p.shadow = Shift(p.face, -64, in.soft);
        p.light = Shift(p.face, 31, in.soft);
        p.highlight = Shift(p.face, 47, in.soft);
        p.darkShadow = Shift(p.face, -192, in.soft);
    };
    switch (in.scheme) {
    case 2:
        p.face = in.back;
        p.hoverFace = in.backOver;
        p.text = in.fore;
        p.hoverText = in.foreOver;
        shiftedFromFace();
        p.selection = Shift(p.face, -128, in.soft);
        p.paleSelection = p.face;
        break;
    case 3:
        p.face = p.hoverFace = FromBgr(0xC0C0C0);
        p.shadow = FromBgr(0x808080);
        p.light = FromBgr(0xDFDFDF);
        p.highlight = FromBgr(0xFFFFFF);
        p.darkShadow = p.text = p.hoverText = FromBgr(0x000000);
        p.selection = FromBgr(0x800000);
        p.paleSelection = FromBgr(0xD1ADAD);
        break;
    case 4:
        p.face = p.hoverFace = in.parentBack;
        p.text = p.hoverText = in.parentText;
        shiftedFromFace();
        p.selection = in.system.color(QPalette::Active, QPalette::Highlight);
        p.paleSelection = Lighten(p.selection, 176);
        break;
    default: {
        const QPalette& s = in.system;
        p.face = p.hoverFace = s.color(QPalette::Active, QPalette::Button);
        p.shadow = s.color(QPalette::Active, QPalette::Dark);
        p.light = s.color(QPalette::Active, QPalette::Midlight);
        p.darkShadow = s.color(QPalette::Active, QPalette::Shadow);
        p.highlight = s.color(QPalette::Active, QPalette::Light);
        p.text = p.hoverText = s.color(QPalette::Active, QPalette::ButtonText);
        p.selection = s.color(QPalette::Active, QPalette::Highlight);
        p.paleSelection = Lighten(p.selection, 176);
        break;
    }
    }
    p.mask = in.mask;
    p.style3Face = in.style == StyleShaded ? Shift(p.face, 48, in.soft, true) : p.face;
    return p;
}

Edges InnerRect(int style, int w, int h)
{
    switch (style) {
    case StyleShaded:
        return {4, 4, w - 4, h - 4};
    case StyleTransparent:
        return {3, 3, w - 3, h - 3};
    case StyleOffset:
        return {6, 6, w - 4, h - 4}; // shrunk by 5, then moved one right and one down
    default:
        return {0, 0, w, h};
    }
}

QString ShownCaption(const QString& caption)
{
    QString s = caption;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

QString WrapCaption(const QString& shown, const QFont& font, int width)
{
    // The characters that show, as the text is laid out, and where each one
    // stands in `shown`: "&x" shows x, "&&" one ampersand, a last "&" nothing.
    QString plain;
    QList<qsizetype> from;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown.at(i) == u'&' && ++i == shown.size())
            break;
        plain += shown.at(i) == u'\n' ? QChar(QChar::LineSeparator) : shown.at(i);
        from.append(i);
    }
    QTextLayout layout(plain, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QList<qsizetype> breaks; // where in `shown` a wrapped line starts
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(0, width));
        const int start = line.textStart();
        // Right after the last character of the line before, so that an "&"
        // stays with the letter it marks.
        if (start > 0 && plain.at(start - 1) != QChar(QChar::LineSeparator))
            breaks.append(from.at(start - 1) + 1);
    }
    layout.endLayout();

    QStringList lines;
    qsizetype begin = 0;
    for (const qsizetype at : breaks) {
        QString piece = shown.mid(begin, at - begin);
        while (piece.endsWith(u' ')) // the blanks at a wrap end the line unseen
            piece.chop(1);
        lines.append(piece);
        begin = at;
    }
    lines.append(shown.mid(begin));
    return lines.join(u'\n');
}

Layout MakeLayout(int style, int w, int h, const QString& caption, const QFont& font, QSize picture, int picturePosition)
{
    const int pw = picture.width();
    const int ph = picture.height();
    Edges r;
    switch (picturePosition) {
    case 0: r = {pw + 4, 4, w - 8, h - 8}; break;
    case 1: r = {4, 4, w - pw - 8, h - 8}; break;
    case 2: r = {4, ph + 4, w - 8, h - 8}; break;
    case 3: r = {4, 4, w - 8, h - ph - 8}; break;
    default: r = {4, 1, w - 8, h - 4}; break;
    }
    // Shrink to the text's extent, as measuring with word wrapping does.
    const QString text = ShownCaption(caption);
    const QFontMetrics metrics(font);
    const QRect extent = text.isEmpty() ? QRect()
                                        : metrics.boundingRect(QRect(r.left, r.top, std::max(0, r.right - r.left), 1 << 20),
                                                               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic, text);
    const QString lines = text.isEmpty() ? QString() : WrapCaption(text, font, r.right - r.left);
    r.right = r.left + extent.width();
    r.bottom = r.top + extent.height();

    int dx = w - r.right;
    int dy = (h - r.bottom) / 2;
    if (picturePosition == 1) {
        dx = w - pw - r.right - 4;
    } else if (picturePosition == 3) {
        dy = (h - ph - r.bottom - 4) / 2;
    }
    Layout l;
    l.caption = r.moved(dx / 2, dy);
    l.captionPressed = l.caption.moved(1, 1);
    l.inner = InnerRect(style, w, h);
    l.captionLines = lines;

    const bool blank = caption.trimmed().isEmpty();
    if (blank || picturePosition == 4 || picturePosition < 0 || picturePosition > 4) {
        l.picture = {(w - pw) / 2, (h - ph) / 2};
    } else if (picturePosition == 0) {
        l.picture = {l.caption.left - pw - 6, (h - ph) / 2};
    } else if (picturePosition == 1) {
        l.picture = {l.caption.right + 6, (h - ph) / 2};
    } else if (picturePosition == 2) {
        l.picture = {(w - pw) / 2, l.caption.top - ph - 2};
    } else {
        l.picture = {(w - pw) / 2, l.caption.bottom + 2};
    }
    return l;
}

QRegion WindowShape(int style, int w, int h)
{
    QRegion region(0, 0, w, h);
    if (style == StyleShaded) {
        // An L of three pixels off each corner.
        for (const QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)}) {
            const int sx = corner.x() == 0 ? 1 : -1;
            const int sy = corner.y() == 0 ? 1 : -1;
            region -= QRegion(corner.x(), corner.y(), 1, 1);
            region -= QRegion(corner.x() + sx, corner.y(), 1, 1);
            region -= QRegion(corner.x(), corner.y() + sy, 1, 1);
        }
    } else if (style == StyleOffset) {
        region -= QRegion(0, h - 1, 1, 1);
        region -= QRegion(w - 1, 0, 1, 1);
    }
    return region;
}

namespace {

constexpr int DarkBlueFrame = 0x733C00;
constexpr int DarkBlueCorner = 0x7B4D10;

// The drawing primitives, on the image being painted.
class Canvas {
public:
    Canvas(QImage& image, const PaintInput& in) : m_image(image), m_in(in), m_painter(&image) {}

    void box(int x, int y, int width, int height, const QColor& c, bool outline = false)
    {
        if (width <= 0 || height <= 0)
            return;
        if (!outline) {
            m_painter.fillRect(QRect(x, y, width, height), c);
            return;
        }
        m_painter.fillRect(QRect(x, y, width, 1), c);
        m_painter.fillRect(QRect(x, y + height - 1, width, 1), c);
        m_painter.fillRect(QRect(x, y, 1, height), c);
        m_painter.fillRect(QRect(x + width - 1, y, 1, height), c);
    }

    // A 1-pixel line without its end point.
    void line(int x1, int y1, int x2, int y2, const QColor& c)
    {
        if (y1 == y2) {
            if (x2 > x1)
                m_painter.fillRect(QRect(x1, y1, x2 - x1, 1), c);
            else if (x2 < x1)
                m_painter.fillRect(QRect(x2 + 1, y1, x1 - x2, 1), c);
        } else if (x1 == x2) {
            if (y2 > y1)
                m_painter.fillRect(QRect(x1, y1, 1, y2 - y1), c);
            else
                m_painter.fillRect(QRect(x1, y2 + 1, 1, y1 - y2), c);
        } else {
            const int steps = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
            for (int i = 0; i < steps; ++i)
                pixel(x1 + RoundEven(double(x2 - x1) * i / steps), y1 + RoundEven(double(y2 - y1) * i / steps), c);
        }
    }

    void pixel(int x, int y, const QColor& c)
    {
        if (m_image.rect().contains(x, y))
            m_image.setPixel(x, y, c.rgb());
    }

    void bevel(const QColor& topLeft, const QColor& bottomRight)
    {
        const int w = m_in.w, h = m_in.h;
        line(0, 0, w, 0, topLeft);
        line(0, 0, 0, h, topLeft);
        line(w - 1, 0, w - 1, h, bottomRight);
        line(0, h - 1, w, h - 1, bottomRight);
    }

    // A dotted frame around the inner rectangle, every second pixel.
    void focusMark()
    {
        if (!m_in.showFocusRect || !m_in.focus)
            return;
        const Edges r = m_in.layout.inner;
        if (r.right - r.left < 2 || r.bottom - r.top < 2)
            return;
        const QColor c = m_in.hover ? m_in.palette.hoverText : m_in.palette.text;
        int n = 0;
        const auto dot = [&](int x, int y) {
            if (n++ % 2 == 0)
                pixel(x, y, c);
        };
        for (int x = r.left; x < r.right - 1; ++x)
            dot(x, r.top);
        for (int y = r.top; y < r.bottom - 1; ++y)
            dot(r.right - 1, y);
        for (int x = r.right - 1; x > r.left; --x)
            dot(x, r.bottom - 1);
        for (int y = r.bottom - 1; y > r.top; --y)
            dot(r.left, y);
    }

    void text(const Edges& r, const QColor& c, bool bold = false)
    {
        if (m_in.caption.isEmpty())
            return;
        QFont f = m_in.font;
        if (bold)
            f.setBold(true);
        m_painter.setFont(f);
        m_painter.setPen(c);
        // The lines were wrapped once, by the layout, in the room the picture
        // leaves; they are drawn as they are, centred on the rectangle. The
        // rectangle places the text but does not cut it, so that a bold
        // default caption a little wider than its measure still shows whole.
        const QString lines = m_in.layout.captionLines.isEmpty() ? ShownCaption(m_in.caption) : m_in.layout.captionLines;
        m_painter.drawText(r.rect(), Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextDontClip, lines);
    }

    void background()
    {
        if (!m_in.background.isNull())
            m_painter.drawImage(0, 0, m_in.background);
    }

    void picture(const QImage& pic, int x, int y, PictureMode mode, const QColor& silhouette = QColor())
    {
        if (pic.isNull())
            return;
        m_painter.end(); // the composition works on the pixels directly
        DrawPicture(m_image, pic, x, y, mode, m_in.useMaskColor ? m_in.palette.mask : QColor(), silhouette);
        m_painter.begin(&m_image);
    }

private:
    QImage& m_image;
    const PaintInput& m_in;
    QPainter m_painter;
};

class ButtonPainter {
public:
    ButtonPainter(QImage& image, const PaintInput& in) : c(image, in), in(in), pal(in.palette) {}

    void paint()
    {
        c.box(0, 0, in.w, in.h, pal.face);
        const bool pressed = in.state == State::Pressed;
        switch (in.style) {
        case StyleShaded:
            !in.enabled ? shadedDisabled() : pressed ? shadedPressed() : shadedNormal();
            break;
        case StyleTransparent:
            !in.enabled ? transparentDisabled() : pressed ? transparentPressed() : transparentNormal();
            break;
        case StyleOffset:
            !in.enabled ? offsetDisabled() : pressed ? offsetPressed() : offsetNormal();
            break;
        default:
            !in.enabled ? pictureDisabled() : pressed ? picturePressed() : pictureNormal();
            break;
        }
    }

private:
    QColor sb(const QColor& colour, int a) const { return Shift(colour, a, in.soft, true); }
    QColor sh(const QColor& colour, int a) const { return Shift(colour, a, in.soft, false); }
    QColor textColour() const { return in.hover ? pal.hoverText : pal.text; }
    const Edges& r() const { return in.layout.caption; }
    const Edges& rp() const { return in.layout.captionPressed; }

    // The copies drawn under a caption or picture, one pixel off, for the
    // raised (1), sunken (2) and shadowed (3) effects: offset and colour shift.
    struct EffectCopy {
        int offset, shift;
    };
    static std::span<const EffectCopy> effectCopies(int effect)
    {
        static constexpr EffectCopy Raised[] = {{1, -40}, {-1, 40}};
        static constexpr EffectCopy Sunken[] = {{1, 40}, {-1, -40}};
        static constexpr EffectCopy Shadowed[] = {{1, -40}};
        switch (effect) {
        case 1: return Raised;
        case 2: return Sunken;
        case 3: return Shadowed;
        default: return {};
        }
    }

    // The caption's copies shift the face (the style-3 face of style 14 is
    // its plain face).
    void effect(const Edges& around)
    {
        for (const EffectCopy& copy : effectCopies(in.specialEffect))
            c.text(around.moved(copy.offset, copy.offset), sh(pal.face, copy.shift));
    }

    void captionNormal(bool bold = false)
    {
        effect(r());
        c.text(r(), textColour(), bold);
    }
    void captionPressedShaded()
    {
        effect(rp());
        c.text(rp(), pal.hoverText);
    }
    void captionPressedB()
    {
        c.text(rp(), sh(pal.shadow, -50));
        c.text(r(), pal.highlight);
    }
    void captionDisabledA() { c.text(r(), sb(pal.style3Face, -104)); }
    void captionDisabledB()
    {
        c.text(rp(), pal.highlight);
        c.text(r(), pal.shadow);
    }

    // The picture's copies are silhouettes shifted from the style-3 face
    // (the plain face for every style but 3).
    void pictureEffect(int x, int y)
    {
        const QImage& pic = shownPicture();
        for (const EffectCopy& copy : effectCopies(in.specialEffect))
            c.picture(pic, x + copy.offset, y + copy.offset, PictureMode::Silhouette, sh(pal.style3Face, copy.shift));
    }
    const QImage& shownPicture() const
    {
        return (in.hover || in.state == State::Pressed) && !in.pictureOver.isNull() ? in.pictureOver : in.pictureNormal;
    }
    void pictureNormal()
    {
        if (in.pictureNormal.isNull())
            return;
        const QPoint at = in.layout.picture;
        pictureEffect(at.x(), at.y());
        if (in.hover)
            c.picture(shownPicture(), at.x(), at.y(), PictureMode::Colour);
        else
            c.picture(in.pictureNormal, at.x(), at.y(), in.useGreyscale ? PictureMode::Greyscale : PictureMode::Colour);
    }
    void picturePressed()
    {
        if (in.pictureNormal.isNull())
            return;
        const QPoint at = in.layout.picture + QPoint(1, 1);
        pictureEffect(at.x(), at.y());
        c.picture(shownPicture(), at.x(), at.y(), PictureMode::Colour);
    }
    void pictureDisabled()
    {
        if (in.pictureNormal.isNull())
            return;
        const QPoint at = in.layout.picture;
        if (in.style == StyleShaded) {
            c.picture(in.pictureNormal, at.x() + 1, at.y() + 1, PictureMode::Greyscale);
            return;
        }
        c.picture(in.pictureNormal, at.x() + 1, at.y() + 1, PictureMode::DarkSilhouette, pal.highlight);
        c.picture(in.pictureNormal, at.x(), at.y(), PictureMode::DarkSilhouette, pal.shadow);
    }

    void shadedCorners(const QColor& colour)
    {
        const int w = in.w, h = in.h;
        c.pixel(1, 1, colour);
        c.pixel(1, h - 2, colour);
        c.pixel(w - 2, 1, colour);
        c.pixel(w - 2, h - 2, colour);
    }

    void shadedDisabled()
    {
        const QColor s = pal.style3Face;
        c.box(0, 0, in.w, in.h, sb(s, -24));
        captionDisabledA();
        c.box(0, 0, in.w, in.h, sb(s, -84), true);
        shadedCorners(sb(s, -72));
        pictureDisabled();
    }

    void shadedNormal()
    {
        const int w = in.w, h = in.h;
        const QColor s = pal.style3Face;
        for (int i = 1; i <= h; ++i)
            c.line(0, i, w, i, sb(s, -RoundEven(i * 25.0 / h)));
        captionNormal();
        c.box(0, 0, w, h, FromBgr(DarkBlueFrame), true);
        shadedCorners(FromBgr(DarkBlueCorner));
        if (in.hover) {
            blueBorder(0x31B2FF, 0x0096E7, 0xCEF3FF, 0x8CDBFF, 0x6BCBFF);
        } else if ((in.focus || in.isDefault) && in.showFocusRect) {
            blueBorder(0xE7AE8C, 0xEF826B, 0xFFE7CE, 0xF7D7BD, 0xF0D1B5);
        } else {
            c.line(2, h - 2, w - 2, h - 2, sb(s, -48));
            c.line(1, h - 3, w - 2, h - 3, sb(s, -32));
            c.line(w - 2, 2, w - 2, h - 2, sb(s, -36));
            c.line(w - 3, 3, w - 3, h - 3, sb(s, -24));
            c.line(2, 1, w - 2, 1, sb(s, 16));
            c.line(1, 2, w - 2, 2, sb(s, 10));
            c.line(1, 2, 1, h - 2, sb(s, -5));
            c.line(2, 3, 2, h - 3, sb(s, -10));
        }
        pictureNormal();
    }

    // The coloured inner border of the hovered (warm) and focused (cool) states.
    void blueBorder(unsigned frame, unsigned bottom, unsigned top, unsigned second, unsigned sides)
    {
        const int w = in.w, h = in.h;
        c.box(1, 2, w - 2, h - 4, FromBgr(frame), true);
        c.line(2, h - 2, w - 2, h - 2, FromBgr(bottom));
        c.line(2, 1, w - 2, 1, FromBgr(top));
        c.line(1, 2, w - 1, 2, FromBgr(second));
        c.line(2, 3, 2, h - 3, FromBgr(sides));
        c.line(w - 3, 3, w - 3, h - 3, FromBgr(sides));
    }

    void shadedPressed()
    {
        const int w = in.w, h = in.h;
        const QColor s = pal.style3Face;
        const QColor b = sb(s, -32);
        for (int i = 1; i <= h; ++i)
            c.line(0, h - i, w, h - i, sb(b, -RoundEven(i * 25.0 / h)));
        captionPressedShaded();
        c.box(0, 0, w, h, FromBgr(DarkBlueFrame), true);
        shadedCorners(FromBgr(DarkBlueCorner));
        c.line(2, h - 2, w - 2, h - 2, sb(b, 16));
        c.line(1, h - 3, w - 2, h - 3, sb(b, 10));
        c.line(w - 2, 2, w - 2, h - 2, sb(b, 5));
        c.line(w - 3, 3, w - 3, h - 3, s);
        c.line(2, 1, w - 2, 1, sb(b, -32));
        c.line(1, 2, w - 2, 2, sb(b, -24));
        c.line(1, 2, 1, h - 2, sb(b, -32));
        c.line(2, 2, 2, h - 2, sb(b, -22));
        picturePressed();
    }

    void transparentDisabled()
    {
        c.background();
        captionDisabledB();
        pictureDisabled();
    }
    void transparentNormal()
    {
        c.background();
        captionNormal();
        if (in.hover)
            c.bevel(pal.highlight, pal.shadow);
        c.focusMark();
        pictureNormal();
    }
    void transparentPressed()
    {
        c.background();
        c.bevel(pal.shadow, pal.highlight);
        captionPressedB();
        c.focusMark();
        picturePressed();
    }

    void offsetShading()
    {
        for (int i = 1; i <= in.h; ++i)
            c.line(0, i, in.w, i, sh(pal.highlight, -RoundEven(i * 58.0 / in.h)));
    }
    void offsetFrame()
    {
        const int w = in.w, h = in.h;
        c.box(0, 0, w, h, sh(pal.shadow, -50), true);
        c.box(1, 1, w - 2, h - 2, sh(pal.face, -9), true);
        c.box(2, 2, w - 4, 2, pal.highlight);
        c.box(2, 4, 2, h - 6, pal.highlight);
    }
    void offsetDisabled()
    {
        offsetShading();
        offsetFrame();
        captionDisabledB();
        pictureDisabled();
    }
    void offsetNormal()
    {
        if (in.hover)
            c.box(0, 0, in.w, in.h, pal.light);
        else
            offsetShading();
        captionNormal(in.isDefault);
        offsetFrame();
        c.focusMark();
        pictureNormal();
    }
    void offsetPressed()
    {
        const int w = in.w, h = in.h;
        c.box(1, 1, w, h, sh(pal.face, -9));
        c.box(0, 0, w, h, sh(pal.shadow, -48), true);
        c.line(2, h - 2, w - 2, h - 2, pal.highlight);
        c.line(w - 2, 2, w - 2, h - 1, pal.highlight);
        captionPressedB();
        c.focusMark();
        picturePressed();
    }

    Canvas c;
    const PaintInput& in;
    const Palette& pal;
};

} // namespace

QImage Paint(const PaintInput& in)
{
    QImage image(std::max(in.w, 1), std::max(in.h, 1), QImage::Format_RGB32);
    image.fill(Qt::black);
    if (in.w <= 0 || in.h <= 0)
        return image;
    ButtonPainter(image, in).paint();
    return image;
}

void DrawPicture(QImage& target, const QImage& picture, int x, int y, PictureMode mode, const QColor& key,
                 const QColor& silhouette)
{
    const QImage pic = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb keyRgb = key.isValid() ? (key.rgb() & 0xFFFFFF) : 0xFFFFFFFFu;
    for (int py = 0; py < pic.height(); ++py) {
        const int ty = y + py;
        if (ty < 0 || ty >= target.height())
            continue;
        const QRgb* src = reinterpret_cast<const QRgb*>(pic.constScanLine(py));
        QRgb* dst = reinterpret_cast<QRgb*>(target.scanLine(ty));
        for (int px = 0; px < pic.width(); ++px) {
            const int tx = x + px;
            if (tx < 0 || tx >= target.width())
                continue;
            const QRgb s = src[px];
            const int alpha = qAlpha(s);
            // An icon's own transparent pixels and the key colour both let
            // what is underneath show through.
            if (alpha == 0 || (s & 0xFFFFFF) == keyRgb)
                continue;
            QRgb out = s;
            switch (mode) {
            case PictureMode::Colour:
                break;
            case PictureMode::Greyscale: {
                const int g = GreyOf(QColor(s));
                out = qRgb(g, g, g);
                break;
            }
            case PictureMode::Silhouette:
                if (alpha < 128)
                    continue;
                dst[tx] = silhouette.rgb();
                continue;
            case PictureMode::DarkSilhouette:
                if (alpha < 128 || qRed(s) + qGreen(s) + qBlue(s) >= 385)
                    continue;
                dst[tx] = silhouette.rgb();
                continue;
            }
            if (alpha == 255) {
                dst[tx] = out | 0xFF000000u;
            } else {
                // Soft icon edges blend over what is underneath.
                const QRgb d = dst[tx];
                const auto mix = [alpha](int a, int b) { return (a * alpha + b * (255 - alpha) + 127) / 255; };
                dst[tx] = qRgb(mix(qRed(out), qRed(d)), mix(qGreen(out), qGreen(d)), mix(qBlue(out), qBlue(d)));
            }
        }
    }
}

} // namespace Vell
