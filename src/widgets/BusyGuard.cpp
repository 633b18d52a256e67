#include "widgets/BusyGuard.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QWidget>

namespace {
// Events that come only from the event loop: input of every kind, painting,
// timers, queued calls and sockets. Events widgets send each other while
// work changes them (a child added, a resize, a polish) do not count.
bool fromEventLoop(const QEvent* event)
{
    if (event->isInputEvent())
        return true;
    switch (event->type()) {
    case QEvent::Paint:
    case QEvent::UpdateRequest:
    case QEvent::Timer:
    case QEvent::MetaCall:
    case QEvent::SockAct:
    case QEvent::SockClose:
    case QEvent::Shortcut:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Expose:
    case QEvent::Close:
    case QEvent::WindowActivate:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::WhatsThis:
    case QEvent::QueryWhatsThis:
        return true;
    default:
        return false;
    }
}
} // namespace

BusyGuard::BusyGuard(QWidget* window) : m_window(window), m_focus(window ? window->focusWidget() : nullptr)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_window)
        qApp->installEventFilter(this);
}

BusyGuard::~BusyGuard()
{
    if (m_window)
        qApp->removeEventFilter(this);
    if (m_window && m_disabled) {
        m_window->setEnabled(true);
        if (m_focus && !m_window->focusWidget() && m_focus->isVisible() && m_focus->isEnabled())
            m_focus->setFocus();
    }
    QApplication::restoreOverrideCursor();
}

bool BusyGuard::eventFilter(QObject* watched, QEvent* event)
{
    // Checked at every such event: a nested guard that ends enables the
    // window again while this one still works.
    if (m_window && fromEventLoop(event) && m_window->isEnabled()) {
        m_window->setEnabled(false);
        m_disabled = true;
    }
    return QObject::eventFilter(watched, event);
}
