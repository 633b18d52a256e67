#include "widgets/VellButton.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <cmath>

namespace {

// Stored sizes are in hundredths of a millimetre.
int extentToPixels(int extent, int dpi)
{
    return int(std::lround(double(extent) * dpi / 2540.0));
}
int pixelsToExtent(int pixels, int dpi)
{
    return int(std::lround(double(pixels) * 2540.0 / dpi));
}

} // namespace

VellButton::VellButton(QWidget* parent) : QPushButton(parent)
{
    m_backColor = m_backOver = palette().color(QPalette::Button);
    m_foreColor = m_foreOver = palette().color(QPalette::ButtonText);
    setAutoDefault(false);
    setMouseTracking(true);
    m_overTimer = new QTimer(this);
    m_overTimer->setObjectName(QStringLiteral("OverTimer"));
    m_overTimer->setInterval(3);
    connect(m_overTimer, &QTimer::timeout, this, &VellButton::OverTimer_Timer);
    connect(this, &QPushButton::clicked, this, &VellButton::clicked_);
    relayout();
}

VellButton::VellButton(const QString& objectName, QWidget* parent) : VellButton(parent)
{
    setObjectName(objectName);
}

// ---- properties -----------------------------------------------------------

void VellButton::setCaption(const QString& caption)
{
    m_codeSet |= SetCaption;
    m_caption = caption;
    setText(Vell::ShownCaption(caption)); // also gives the button its access key
    relayout();
    update();
}

QChar VellButton::AccessKeyOf(const QString& caption)
{
    if (caption.size() < 2)
        return {};
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] == u'&') {
            ++i; // a literal ampersand
            continue;
        }
        return caption[i + 1].toLower();
    }
    return {};
}

// The stored design never goes through these setters, so whatever comes
// here was set in code and is marked to be kept from the design.
void VellButton::setColourInCode(QColor& colour, const QColor& c, CodeSet which)
{
    m_codeSet |= which;
    colour = c;
    update();
}
void VellButton::setBackColor(const QColor& c) { setColourInCode(m_backColor, c, SetBack); }
void VellButton::setBackOver(const QColor& c) { setColourInCode(m_backOver, c, SetBackOver); }
void VellButton::setForeColor(const QColor& c) { setColourInCode(m_foreColor, c, SetFore); }
void VellButton::setForeOver(const QColor& c) { setColourInCode(m_foreOver, c, SetForeOver); }
void VellButton::setMaskColor(const QColor& c)
{
    m_maskColor = c;
    update();
}

void VellButton::setButtonType(int style)
{
    m_buttonType = style;
    if (style == Vell::StyleTransparent && isVisible())
        captureBackground();
    relayout();
    reshape();
    drawState(Vell::State::Normal);
}

void VellButton::setFontBold(bool on)
{
    QFont f = font();
    f.setBold(on);
    setFont(f);
}
void VellButton::setFontItalic(bool on)
{
    QFont f = font();
    f.setItalic(on);
    setFont(f);
}
void VellButton::setFontUnderline(bool on)
{
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
}
void VellButton::setFontSize(double points)
{
    if (points <= 0)
        return;
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
}
void VellButton::setFontName(const QString& family)
{
    QFont f = font();
    f.setFamily(family);
    setFont(f);
}

void VellButton::setColorScheme(int scheme)
{
    m_colorScheme = scheme;
    update();
}
void VellButton::setShowFocusRect(bool on)
{
    m_showFocusRect = on;
    update();
}
void VellButton::setMousePointer(int code)
{
    m_mousePointer = code;
    applyCursor();
}
void VellButton::setMouseIcon(const QImage& icon, const QString& source)
{
    m_mouseIcon = icon;
    m_mouseIconSource = source;
    applyCursor();
}

void VellButton::applyCursor()
{
    static const Qt::CursorShape shapes[] = {
        Qt::ArrowCursor,     Qt::ArrowCursor,   Qt::CrossCursor,     Qt::IBeamCursor,   Qt::ArrowCursor,
        Qt::SizeAllCursor,   Qt::SizeBDiagCursor, Qt::SizeVerCursor, Qt::SizeFDiagCursor, Qt::SizeHorCursor,
        Qt::UpArrowCursor,   Qt::WaitCursor,    Qt::ForbiddenCursor, Qt::BusyCursor,    Qt::WhatsThisCursor,
        Qt::SizeAllCursor,
    };
    if (m_mousePointer == 99 && !m_mouseIcon.isNull())
        setCursor(QCursor(QPixmap::fromImage(m_mouseIcon)));
    else if (m_mousePointer > 0 && m_mousePointer < int(std::size(shapes)))
        setCursor(shapes[m_mousePointer]);
    else
        unsetCursor();
}

void VellButton::setSoftBevel(bool on)
{
    m_softBevel = on;
    update();
}

void VellButton::setPictureNormal(const QImage& picture, const QString& source)
{
    m_codeSet |= SetPicture;
    m_pictureNormal = picture;
    m_pictureNormalSource = source;
    relayout();
    update();
}
void VellButton::setPictureOver(const QImage& picture, const QString& source)
{
    m_pictureOver = picture;
    m_pictureOverSource = source;
    if (m_drawnHover)
        update();
}
void VellButton::setPicturePosition(int position)
{
    m_picturePosition = position;
    relayout();
    update();
}
void VellButton::setUseMaskColor(bool on)
{
    m_useMaskColor = on;
    update();
}
void VellButton::setUseGreyscale(bool on)
{
    m_useGreyscale = on;
    update();
}
void VellButton::setSpecialEffect(int effect)
{
    m_specialEffect = effect;
    update();
}
void VellButton::setCheckBoxBehaviour(bool on)
{
    m_checkBoxBehaviour = on;
    update();
}
void VellButton::setValue(bool on)
{
    m_value = on;
    if (m_checkBoxBehaviour)
        update();
}

void VellButton::Refresh()
{
    if (m_buttonType == Vell::StyleTransparent)
        captureBackground();
    relayout();
    m_shown = true;
    update();
}

Vell::Palette VellButton::ButtonPalette(bool hovered) const
{
    Vell::PaletteInput in;
    in.scheme = m_colorScheme;
    in.style = m_buttonType;
    in.soft = m_softBevel;
    in.back = hovered && m_colorScheme == 2 ? m_backOver : m_backColor;
    in.backOver = m_backOver;
    in.fore = m_foreColor;
    in.foreOver = m_foreOver;
    in.mask = m_maskColor;
    in.system = palette();
    const QPalette host = parentWidget() ? parentWidget()->palette() : palette();
    in.parentBack = host.color(QPalette::Active, QPalette::Window);
    in.parentText = host.color(QPalette::Active, QPalette::WindowText);
    return Vell::MakePalette(in);
}

// ---- stored property set ------------------------------------------------

Vell::PropertySet VellButton::WriteProperties() const
{
    using namespace Vell;
    PropertySet set;
    const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    set.set(QStringLiteral("_extentx"), QString::number(pixelsToExtent(width(), dpi)));
    set.set(QStringLiteral("_extenty"), QString::number(pixelsToExtent(height(), dpi)));
    set.set(QStringLiteral("btype"), QString::number(m_buttonType));
    set.set(QStringLiteral("tx"), m_caption);
    set.set(QStringLiteral("enab"), EncodeBool(isEnabled()));
    set.set(QStringLiteral("font"), EncodeFont(font()));
    set.set(QStringLiteral("coltype"), QString::number(m_colorScheme));
    set.set(QStringLiteral("focusr"), EncodeBool(m_showFocusRect));
    set.set(QStringLiteral("bcol"), EncodeColour(m_backColor));
    set.set(QStringLiteral("bcolo"), EncodeColour(m_backOver));
    set.set(QStringLiteral("fcol"), EncodeColour(m_foreColor));
    set.set(QStringLiteral("fcolo"), EncodeColour(m_foreOver));
    set.set(QStringLiteral("mcol"), EncodeColour(m_maskColor));
    set.set(QStringLiteral("mptr"), QString::number(m_mousePointer));
    set.set(QStringLiteral("micon"), EncodePicture(m_mouseIcon, m_mouseIconSource));
    set.set(QStringLiteral("picn"), EncodePicture(m_pictureNormal, m_pictureNormalSource));
    set.set(QStringLiteral("pich"), EncodePicture(m_pictureOver, m_pictureOverSource));
    set.set(QStringLiteral("umcol"), EncodeBool(m_useMaskColor));
    set.set(QStringLiteral("soft"), EncodeBool(m_softBevel));
    set.set(QStringLiteral("picpos"), QString::number(m_picturePosition));
    set.set(QStringLiteral("ngrey"), EncodeBool(m_useGreyscale));
    set.set(QStringLiteral("fx"), QString::number(m_specialEffect));
    set.set(QStringLiteral("check"), EncodeBool(m_checkBoxBehaviour));
    set.set(QStringLiteral("value"), EncodeBool(m_value));
    return set;
}

void VellButton::ReadProperties(const Vell::PropertySet& set)
{
    using namespace Vell;
    // A window's stored design leaves alone what the window set in code, and
    // the window's own placement and enabling of its buttons.
    const bool design = m_applyingDesign;
    const auto keep = [this, design](unsigned flag) { return design && (m_codeSet & flag); };
    const QPalette system = palette();

    m_buttonType = DecodeInt(set.value(QStringLiteral("BTYPE")), 2);
    if (!keep(SetCaption)) {
        m_caption = set.value(QStringLiteral("TX"));
        setText(Vell::ShownCaption(m_caption));
    }
    if (!design)
        setEnabled(DecodeBool(set.value(QStringLiteral("ENAB")), true));
    if (set.contains(QStringLiteral("FONT")) && !(design && testAttribute(Qt::WA_SetFont))) {
        const QFont host = parentWidget() ? parentWidget()->font() : QApplication::font();
        setFont(DecodeFont(set.value(QStringLiteral("FONT")), host));
    }
    m_colorScheme = DecodeInt(set.value(QStringLiteral("COLTYPE")), 1);
    m_showFocusRect = DecodeBool(set.value(QStringLiteral("FOCUSR")), true);
    if (!keep(SetBack))
        m_backColor = DecodeColour(set.value(QStringLiteral("BCOL")), system, system.color(QPalette::Active, QPalette::Button));
    if (!keep(SetBackOver))
        m_backOver = DecodeColour(set.value(QStringLiteral("BCOLO")), system, m_backColor);
    if (!keep(SetFore))
        m_foreColor = DecodeColour(set.value(QStringLiteral("FCOL")), system, system.color(QPalette::Active, QPalette::ButtonText));
    if (!keep(SetForeOver))
        m_foreOver = DecodeColour(set.value(QStringLiteral("FCOLO")), system, m_foreColor);
    m_maskColor = DecodeColour(set.value(QStringLiteral("MCOL")), system, QColor(0xC0, 0xC0, 0xC0));
    if (!(design && testAttribute(Qt::WA_SetCursor))) {
        m_mousePointer = DecodeInt(set.value(QStringLiteral("MPTR")), 0);
        m_mouseIconSource = set.value(QStringLiteral("MICON"));
        m_mouseIcon = DecodePicture(m_mouseIconSource);
        applyCursor();
    }
    if (!keep(SetPicture)) {
        m_pictureNormalSource = set.value(QStringLiteral("PICN"));
        m_pictureNormal = DecodePicture(m_pictureNormalSource);
        m_pictureOverSource = set.value(QStringLiteral("PICH"));
        m_pictureOver = DecodePicture(m_pictureOverSource);
    }
    m_useMaskColor = DecodeBool(set.value(QStringLiteral("UMCOL")), true);
    m_softBevel = DecodeBool(set.value(QStringLiteral("SOFT")), false);
    m_picturePosition = DecodeInt(set.value(QStringLiteral("PICPOS")), 0);
    m_useGreyscale = DecodeBool(set.value(QStringLiteral("NGREY")), false);
    m_specialEffect = DecodeInt(set.value(QStringLiteral("FX")), 0);
    m_checkBoxBehaviour = DecodeBool(set.value(QStringLiteral("CHECK")), false);
    m_value = DecodeBool(set.value(QStringLiteral("VALUE")), false);

    if (!design && set.contains(QStringLiteral("_extentx")) && set.contains(QStringLiteral("_extenty"))) {
        const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
        const int w = extentToPixels(DecodeInt(set.value(QStringLiteral("_extentx")), 0), dpi);
        const int h = extentToPixels(DecodeInt(set.value(QStringLiteral("_extenty")), 0), dpi);
        if (w > 0 && h > 0 && w < 10000 && h < 10000)
            resize(w, h);
    }
    relayout();
    reshape();
    if (m_buttonType == Vell::StyleTransparent && isVisible())
        captureBackground();
    update();
}

void VellButton::applyWindowDesign()
{
    m_designApplied = true;
    QWidget* top = window();
    if (top == this)
        return;
    Vell::PropertySet set = Vell::DesignFor(QString::fromLatin1(top->metaObject()->className()), objectName());
    if (set.entries().isEmpty() && !top->objectName().isEmpty())
        set = Vell::DesignFor(top->objectName(), objectName());
    if (set.entries().isEmpty())
        return;
    m_applyingDesign = true;
    ReadProperties(set);
    m_applyingDesign = false;
}

// ---- layout, shape and background ---------------------------------------

void VellButton::relayout()
{
    const QFont shownFont = font();
    const QSize picture = m_pictureNormal.size();
    for (const MadeLayout& made : m_madeLayouts)
        if (made.style == m_buttonType && made.w == width() && made.h == height()
            && made.picturePosition == m_picturePosition && made.picture == picture && made.caption == m_caption
            && made.font == shownFont) {
            m_layout = made.layout;
            return;
        }
    m_layout = Vell::MakeLayout(m_buttonType, width(), height(), m_caption, shownFont, picture, m_picturePosition);
    m_madeLayouts[size_t(m_nextMade)] = {m_buttonType, width(), height(), m_picturePosition, picture, m_caption, shownFont,
                                         m_layout};
    m_nextMade = (m_nextMade + 1) % int(m_madeLayouts.size());
}

void VellButton::reshape()
{
    // A top-level button (only ever one under test) keeps its plain window.
    if (isWindow())
        return;
    if (m_buttonType == Vell::StyleShaded || m_buttonType == Vell::StyleOffset)
        setMask(Vell::WindowShape(m_buttonType, width(), height()));
    else
        clearMask();
}

void VellButton::captureBackground()
{
    if (m_buttonType != Vell::StyleTransparent || width() <= 0 || height() <= 0)
        return;
    QWidget* top = window();
    QImage image(size(), QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Window));
    if (top != this) {
        // Paint the window under the button with the button itself left out.
        m_capturing = true;
        QPainter p(&image);
        top->render(&p, QPoint(0, 0), QRegion(QRect(mapTo(top, QPoint(0, 0)), size())),
                    QWidget::DrawWindowBackground | QWidget::DrawChildren);
        p.end();
        m_capturing = false;
    }
    m_background = image;
}

bool VellButton::cursorIsOver(const QPoint& globalPos) const
{
    const QPoint local = mapFromGlobal(globalPos);
    if (!rect().contains(local))
        return false;
    if (!mask().isEmpty() && !mask().contains(local))
        return false;
    // Another window over the button hides it from the cursor.
    const QWidget* at = QApplication::widgetAt(globalPos);
    return at == nullptr || at == this || isAncestorOf(at);
}

// ---- states and drawing -------------------------------------------------

void VellButton::drawState(Vell::State state)
{
    // A hidden or flattened button has nothing to draw; showing it draws afresh.
    if (!m_shown || height() == 0)
        return;
    m_lastState = state;
    // The painting comes later; it shows the hover colours as they stood
    // when the state was asked for.
    m_drawnHover = m_hover;
    update();
}

void VellButton::paintEvent(QPaintEvent*)
{
    if (m_capturing)
        return; // the window is being painted under the button
    Vell::PaintInput in;
    in.w = width();
    in.h = height();
    in.style = m_buttonType;
    in.state = m_checkBoxBehaviour && m_value ? Vell::State::Pressed : m_lastState;
    in.enabled = isEnabled();
    in.hover = m_drawnHover;
    in.focus = hasFocus();
    in.isDefault = isDefault();
    in.showFocusRect = m_showFocusRect;
    in.soft = m_softBevel;
    in.palette = ButtonPalette(m_drawnHover);
    in.caption = m_caption;
    in.font = font();
    in.layout = m_layout;
    in.pictureNormal = m_pictureNormal;
    in.pictureOver = m_pictureOver;
    in.useMaskColor = m_useMaskColor;
    in.useGreyscale = m_useGreyscale;
    in.specialEffect = m_specialEffect;
    in.background = m_background;
    QPainter p(this);
    p.drawImage(0, 0, Vell::Paint(in));
}

void VellButton::clicked_()
{
    if (m_checkBoxBehaviour)
        m_value = !m_value;
    drawState(Vell::State::Normal);
    emit Click(); // last: the handler may close the window
}

QSize VellButton::sizeHint() const
{
    const QSize extent = fontMetrics().size(Qt::TextShowMnemonic, text());
    QSize size(extent.width() + 16, extent.height() + 10);
    if (!m_pictureNormal.isNull()) {
        if (m_picturePosition == 2 || m_picturePosition == 3)
            size = QSize(qMax(size.width(), m_pictureNormal.width() + 16), size.height() + m_pictureNormal.height() + 4);
        else
            size = QSize(size.width() + m_pictureNormal.width() + 8, qMax(size.height(), m_pictureNormal.height() + 10));
    }
    return size;
}

// ---- events -------------------------------------------------------------

bool VellButton::event(QEvent* event)
{
    if (event->type() == QEvent::Polish && !m_designApplied)
        applyWindowDesign();
    return QPushButton::event(event);
}

void VellButton::showEvent(QShowEvent* event)
{
    QPushButton::showEvent(event);
    if (m_buttonType == Vell::StyleTransparent) {
        captureBackground();
        // Once the window has settled, take what is really behind the button.
        QTimer::singleShot(0, this, [this] {
            captureBackground();
            update();
        });
    }
    m_shown = true;
    drawState(Vell::State::Normal);
}

void VellButton::hideEvent(QHideEvent* event)
{
    m_shown = false;
    QPushButton::hideEvent(event);
}

void VellButton::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    relayout();
    reshape();
    if (m_buttonType == Vell::StyleTransparent && isVisible())
        QTimer::singleShot(0, this, [this] { Refresh(); });
    if (height() > 0)
        drawState(Vell::State::Normal);
}

void VellButton::moveEvent(QMoveEvent* event)
{
    QPushButton::moveEvent(event);
    if (m_buttonType == Vell::StyleTransparent && isVisible())
        QTimer::singleShot(0, this, [this] { Refresh(); });
}

void VellButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
        relayout();
        update();
        break;
    case QEvent::EnabledChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        update();
        break;
    default:
        break;
    }
}

void VellButton::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    emit MouseDown(event->button(), event->modifiers(), at.x(), at.y());
    if (event->button() != Qt::RightButton)
        drawState(Vell::State::Pressed);
    QPushButton::mousePressEvent(event);
}

void VellButton::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    emit MouseUp(event->button(), event->modifiers(), at.x(), at.y());
    if (event->button() != Qt::RightButton)
        drawState(Vell::State::Normal);
    QPushButton::mouseReleaseEvent(event);
}

void VellButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mouseDoubleClickEvent(event);
        return;
    }
    // The second press of a double click is reported but not handed to the
    // button's own press handling, so its release makes no second Click.
    emit MouseDown(Qt::LeftButton, event->modifiers(), 0, 0);
    drawState(Vell::State::Pressed);
    event->accept();
}

void VellButton::mouseMoveEvent(QMouseEvent* event)
{
    const Qt::MouseButtons buttons = event->buttons();
    const QPoint at = event->position().toPoint();
    emit MouseMove(buttons, event->modifiers(), at.x(), at.y());
    if (buttons != Qt::NoButton && !(buttons & Qt::LeftButton)) {
        QPushButton::mouseMoveEvent(event);
        return;
    }
    if (!cursorIsOver(event->globalPosition().toPoint())) {
        drawState(Vell::State::Normal);
        QPushButton::mouseMoveEvent(event);
        return;
    }
    if (!m_overTimer->isActive())
        emit MouseIn();
    if (buttons == Qt::NoButton && !m_hover) {
        m_overTimer->start();
        m_hover = true;
        drawState(Vell::State::Normal);
        emit MouseOver();
    } else if (buttons & Qt::LeftButton) {
        // Held down over the button: pressed, in the hover colours. The hover
        // itself ends, so that moving on with the button up starts it afresh.
        m_hover = true;
        drawState(Vell::State::Pressed);
        m_hover = false;
    }
    QPushButton::mouseMoveEvent(event);
}

void VellButton::OverTimer_Timer()
{
    if (cursorIsOver(QCursor::pos()))
        return;
    m_overTimer->stop();
    m_hover = false;
    drawState(Vell::State::Normal);
    emit MouseOut();
}

void VellButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    if (m_overTimer->isActive())
        OverTimer_Timer();
}

void VellButton::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(event->key(), event->modifiers());
    if (!event->text().isEmpty())
        emit KeyPress(event->text().at(0).unicode());
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        drawState(Vell::State::Pressed);
    QPushButton::keyPressEvent(event);
}

void VellButton::keyReleaseEvent(QKeyEvent* event)
{
    emit KeyUp(event->key(), event->modifiers());
    QPushButton::keyReleaseEvent(event);
    // A Space whose press went to another control leaves the button as it was.
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && !isDown())
        drawState(Vell::State::Normal);
}

void VellButton::focusInEvent(QFocusEvent* event)
{
    QPushButton::focusInEvent(event);
    update();
}

void VellButton::focusOutEvent(QFocusEvent* event)
{
    QPushButton::focusOutEvent(event);
    if (m_lastState == Vell::State::Pressed && !isDown() && !(QApplication::mouseButtons() & Qt::LeftButton))
        m_lastState = Vell::State::Normal;
    update();
}
