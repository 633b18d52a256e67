#include "widgets/modFadeInOut.h"

#include "session/AppSettings.h"
#include "session/Utilities.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace {
bool g_fadeFlag = false;
std::optional<bool> g_canFadeOverride;

bool platformCanFade()
{
    if (g_canFadeOverride)
        return *g_canFadeOverride;
    // Window opacity reaches the screen on X11 (through the window manager),
    // Windows and macOS; offscreen, framebuffer and Wayland windows ignore it.
    static const QStringList withOpacity{QStringLiteral("xcb"), QStringLiteral("windows"), QStringLiteral("cocoa")};
    return withOpacity.contains(QGuiApplication::platformName());
}
} // namespace

void OverrideFadeSupport(std::optional<bool> canFade) { g_canFadeOverride = canFade; }

bool FadeFlag() { return g_fadeFlag; }
void SetFadeFlag(bool on) { g_fadeFlag = on; }

bool PrepareFade(QWidget* window, int initialAlpha, bool force)
{
    if (!FadeStatusOn() && !force)
        return false;
    if (!window || !platformCanFade())
        return false;
    window->setWindowOpacity(initialAlpha / 255.0);
    return true;
}

Fader::Fader(QWidget* window) : QObject(window), m_window(window), m_timer(new QTimer(this))
{
    // Every window's fade goes by the same name, so it can be found on any of them.
    setObjectName(QStringLiteral("timerFadeInOut"));
    m_timer->setInterval(1);
    connect(m_timer, &QTimer::timeout, this, &Fader::tick);
}

void Fader::StartFade(int startAlpha, int endAlpha, int step, bool closeAfter)
{
    m_start = startAlpha;
    m_end = endAlpha;
    m_step = qMax(1, step);
    m_closeAfter = closeAfter;
    m_firstTick = true;
    m_timer->start();
}

bool Fader::isRunning() const { return m_timer->isActive(); }

void Fader::WaitForFade()
{
    while (m_timer->isActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
}

void Fader::tick()
{
    if (m_firstTick) {
        m_firstTick = false;
        m_current = m_start;
        if (m_window->isEnabled())
            m_focus = m_window->focusWidget();
        m_window->setEnabled(false);
    }
    if (m_start < m_end)
        m_current = int(Smaller(m_end, m_current + m_step));
    else
        m_current = int(Larger(m_end, m_current - m_step));
    m_window->setWindowOpacity(m_current / 255.0);
    if (m_current == m_end) {
        m_timer->stop();
        if (m_closeAfter) {
            if (closeAction)
                closeAction();
        } else {
            m_window->setEnabled(true);
            if (m_focus && !m_window->focusWidget())
                m_focus->setFocus();
        }
    }
}
