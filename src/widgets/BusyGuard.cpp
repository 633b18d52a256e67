#include "widgets/BusyGuard.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

BusyGuard::BusyGuard(QWidget* window)
    : m_window(window), m_wasEnabled(window && window->isEnabled()), m_focus(window ? window->focusWidget() : nullptr)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_window)
        m_window->setEnabled(false);
}

BusyGuard::~BusyGuard()
{
    if (m_window) {
        m_window->setEnabled(m_wasEnabled);
        if (m_wasEnabled && m_focus && !m_window->focusWidget() && m_focus->isVisible() && m_focus->isEnabled())
            m_focus->setFocus();
    }
    QApplication::restoreOverrideCursor();
}
