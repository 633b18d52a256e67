#include "widgets/BusyGuard.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

BusyGuard::BusyGuard(QWidget* window) : m_window(window), m_wasEnabled(window && window->isEnabled())
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_window)
        m_window->setEnabled(false);
}

BusyGuard::~BusyGuard()
{
    if (m_window)
        m_window->setEnabled(m_wasEnabled);
    QApplication::restoreOverrideCursor();
}
