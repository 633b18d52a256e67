#pragma once
// The push button of every window. Windows use it through its caption (one
// line, or two joined by CR LF, with "&" marking the access key), tooltip,
// Tag, enabled and visible state, its four colours and the Click signal.
//
// It draws itself in one of three styles (3 shaded with rounded corners,
// 11 transparent, 14 shaded with an offset look), follows the mouse with its
// hover colours and picture, can act as a two-state (check-box) button, and
// takes its design from the stored set of its window when it is first
// polished. Anything a window sets in code wins over the stored design.
#include "widgets/VellButtonPainter.h"
#include "widgets/VellButtonProperties.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QString>
#include <array>

class QTimer;

class VellButton : public QPushButton {
    Q_OBJECT
public:
    explicit VellButton(QWidget* parent = nullptr);
    VellButton(const QString& objectName, QWidget* parent);

    // Free text a window keeps on the button ("Save", "Update", a caption...).
    QString Tag;

    QColor BackColor() const { return m_backColor; }
    void setBackColor(const QColor& c);
    QColor BackOver() const { return m_backOver; }
    void setBackOver(const QColor& c);
    QColor ForeColor() const { return m_foreColor; }
    void setForeColor(const QColor& c);
    QColor ForeOver() const { return m_foreOver; }
    void setForeOver(const QColor& c);
    // The colour of picture pixels that let the face show through.
    QColor MaskColor() const { return m_maskColor; }
    void setMaskColor(const QColor& c);
    int ButtonType() const { return m_buttonType; }
    void setButtonType(int style);
    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    bool Enabled() const { return isEnabled(); }
    void setFontBold(bool on);
    void setFontItalic(bool on);
    void setFontUnderline(bool on);
    void setFontSize(double points);
    void setFontName(const QString& family);
    // 2 custom colours, 3 fixed grey, 4 the parent window's, others the system's.
    int ColorScheme() const { return m_colorScheme; }
    void setColorScheme(int scheme);
    bool ShowFocusRect() const { return m_showFocusRect; }
    void setShowFocusRect(bool on);
    int MousePointer() const { return m_mousePointer; }
    void setMousePointer(int code);
    QImage MouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(const QImage& icon, const QString& source = QString());
    WId hWnd() const { return internalWinId(); }
    // Halves every colour shift of the palette.
    bool SoftBevel() const { return m_softBevel; }
    void setSoftBevel(bool on);
    QImage PictureNormal() const { return m_pictureNormal; }
    void setPictureNormal(const QImage& picture, const QString& source = QString());
    void setPictureNormal(const QPixmap& picture) { setPictureNormal(picture.toImage()); }
    QImage PictureOver() const { return m_pictureOver; }
    void setPictureOver(const QImage& picture, const QString& source = QString());
    // 0 left of the caption, 1 right, 2 above, 3 below, 4 behind it.
    int PicturePosition() const { return m_picturePosition; }
    void setPicturePosition(int position);
    bool UseMaskColor() const { return m_useMaskColor; }
    void setUseMaskColor(bool on);
    bool UseGreyscale() const { return m_useGreyscale; }
    void setUseGreyscale(bool on);
    // 0 none, 1 raised, 2 sunken, 3 shadowed caption.
    int SpecialEffect() const { return m_specialEffect; }
    void setSpecialEffect(int effect);
    bool CheckBoxBehaviour() const { return m_checkBoxBehaviour; }
    void setCheckBoxBehaviour(bool on);
    bool Value() const { return m_value; }
    void setValue(bool on);

    QString ToolTipText() const { return toolTip(); }
    void setToolTipText(const QString& tip) { setToolTip(tip); }

    bool isHovered() const { return m_hover; }
    // Captures the background again (style 11), recomputes colours and layout
    // and redraws in the last state.
    void Refresh();

    // The access key of a caption: the character after the first single "&",
    // in lower case ("&&" is a literal ampersand); none for a caption of one
    // character or one ending in "&".
    static QChar AccessKeyOf(const QString& caption);
    QChar AccessKey() const { return AccessKeyOf(m_caption); }

    // The version text of the control.
    static QString Version() { return QStringLiteral("w2005.08.15"); }

    // The stored property set: written with every key each time, read with
    // each missing key taking its default.
    Vell::PropertySet WriteProperties() const;
    void ReadProperties(const Vell::PropertySet& set);

    // The colours of the present design, hovered or not.
    Vell::Palette ButtonPalette(bool hovered) const;
    Vell::Layout ButtonLayout() const { return m_layout; }
    Vell::State LastState() const { return m_lastState; }

    // The hover timer, and one tick of it: when the cursor has left the
    // button, the hover ends and MouseOut is raised.
    QTimer* OverTimer() const { return m_overTimer; }
    void OverTimer_Timer();

signals:
    void Click();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void MouseMove(Qt::MouseButtons button, Qt::KeyboardModifiers shift, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void KeyPress(int keyAscii);
    void KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void KeyUp(int keyCode, Qt::KeyboardModifiers shift);
    void MouseOver();
    void MouseIn();
    void MouseOut();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QSize sizeHint() const override;

private:
    enum CodeSet : unsigned { SetBack = 1, SetBackOver = 2, SetFore = 4, SetForeOver = 8, SetCaption = 16, SetPicture = 32 };

    void setColourInCode(QColor& colour, const QColor& c, CodeSet which);
    void clicked_();
    void drawState(Vell::State state);
    void relayout();
    void reshape();
    bool cursorIsOver(const QPoint& globalPos) const;
    void captureBackground();
    void applyWindowDesign();
    void applyCursor();

    QString m_caption;
    QColor m_backColor, m_backOver, m_foreColor, m_foreOver;
    QColor m_maskColor = QColor(0xC0, 0xC0, 0xC0);
    int m_buttonType = Vell::StyleOffset;
    int m_colorScheme = 2;
    bool m_showFocusRect = true;
    int m_mousePointer = 0;
    QImage m_mouseIcon;
    QString m_mouseIconSource;
    bool m_softBevel = false;
    QImage m_pictureNormal, m_pictureOver;
    QString m_pictureNormalSource, m_pictureOverSource;
    int m_picturePosition = 0;
    bool m_useMaskColor = true;
    bool m_useGreyscale = false;
    int m_specialEffect = 0;
    bool m_checkBoxBehaviour = false;
    bool m_value = false;

    unsigned m_codeSet = 0; // properties the window set in code
    bool m_applyingDesign = false;
    bool m_designApplied = false;
    bool m_hover = false;
    bool m_drawnHover = false; // the hover of the last state asked for
    bool m_shown = true;
    bool m_capturing = false;
    Vell::State m_lastState = Vell::State::Normal;
    Vell::Layout m_layout;
    // The last few layouts made, with what they were made from: a window
    // changes captions back and forth (Add/Save, Edit/Cancel) after every
    // save, and measuring wrapped text is the costly part of a layout.
    struct MadeLayout {
        int style = -1, w = 0, h = 0, picturePosition = 0;
        QSize picture;
        QString caption;
        QFont font;
        Vell::Layout layout;
    };
    std::array<MadeLayout, 4> m_madeLayouts;
    int m_nextMade = 0;
    QImage m_background;
    QTimer* m_overTimer = nullptr;
};
