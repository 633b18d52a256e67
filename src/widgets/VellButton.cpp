#include "widgets/VellButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

VellButton::VellButton(QWidget* parent) : QPushButton(parent)
{
    m_backColor = m_backOver = palette().color(QPalette::Button);
    m_foreColor = m_foreOver = palette().color(QPalette::ButtonText);
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &VellButton::Click);
}

VellButton::VellButton(const QString& objectName, QWidget* parent) : VellButton(parent)
{
    setObjectName(objectName);
}

void VellButton::setCaption(const QString& caption)
{
    m_caption = caption;
    QString shown = caption;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    setText(shown); // also gives the button its access key
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

void VellButton::setBackColor(const QColor& c)
{
    m_backColor = c;
    update();
}
void VellButton::setBackOver(const QColor& c)
{
    m_backOver = c;
    update();
}
void VellButton::setForeColor(const QColor& c)
{
    m_foreColor = c;
    update();
}
void VellButton::setForeOver(const QColor& c)
{
    m_foreOver = c;
    update();
}

void VellButton::enterEvent(QEnterEvent* event)
{
    m_hover = true;
    update();
    QPushButton::enterEvent(event);
}

void VellButton::leaveEvent(QEvent* event)
{
    m_hover = false;
    update();
    QPushButton::leaveEvent(event);
}

void VellButton::mousePressEvent(QMouseEvent* event)
{
    emit MouseDown(event->button(), event->modifiers(), int(event->position().x()), int(event->position().y()));
    QPushButton::mousePressEvent(event);
}

void VellButton::mouseReleaseEvent(QMouseEvent* event)
{
    emit MouseUp(event->button(), event->modifiers(), int(event->position().x()), int(event->position().y()));
    QPushButton::mouseReleaseEvent(event);
}

QSize VellButton::sizeHint() const
{
    const QSize extent = fontMetrics().size(Qt::TextShowMnemonic, text());
    return {extent.width() + 16, extent.height() + 10};
}

void VellButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    const bool pressed = isDown() || isChecked();
    QColor face = m_hover ? m_backOver : m_backColor;
    if (pressed)
        face = face.darker(115);
    if (!isEnabled())
        face = face.lighter(105);
    p.fillRect(r, face);
    p.setPen(face.darker(160));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(pressed ? face.darker(130) : face.lighter(130));
    p.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
    p.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);

    QColor textColour = m_hover ? m_foreOver : m_foreColor;
    if (!isEnabled())
        textColour = palette().color(QPalette::Disabled, QPalette::ButtonText);
    p.setPen(textColour);
    QFont f = font();
    if (isDefault())
        f.setBold(true);
    p.setFont(f);
    const QRect textRect = r.adjusted(4, 2, -4, -2).translated(pressed ? 1 : 0, pressed ? 1 : 0);
    p.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextWordWrap, text());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = r.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}
