#pragma once
// Window fades: a window becomes visible by going from transparent to opaque,
// vanishes the other way before it closes, and dims while a question stands
// in front of it. Callers test FadeFlag() and skip the fade when it is off.
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class QTimer;
class QWidget;

// Process-wide: fades are on. Every window's load recomputes it; the admin
// window's check box sets it directly.
bool FadeFlag();
void SetFadeFlag(bool on);

// Prepares a window for fading with the given starting opacity (0..255).
// Returns whether the window will fade: false when fades are off and force is
// not set, or when the platform cannot make windows translucent.
bool PrepareFade(QWidget* window, int initialAlpha, bool force);

// Tests: pretend the platform can (or cannot) make windows translucent;
// nullopt asks the platform again.
void OverrideFadeSupport(std::optional<bool> canFade);

// One fade of one window, paced by its own timer.
class Fader : public QObject {
    Q_OBJECT
public:
    explicit Fader(QWidget* window);

    // Stores the fade and starts the timer; returns at once.
    void StartFade(int startAlpha, int endAlpha, int step, bool closeAfter);
    // Lets window events run until the fade has finished.
    void WaitForFade();
    bool isRunning() const;
    // One timer step (tests call it directly).
    void tick();
    int currentAlpha() const { return m_current; }

    // Runs when a fade with closeAfter set reaches its end.
    std::function<void()> closeAction;

private:
    QWidget* m_window;
    QTimer* m_timer;
    int m_start = 255;
    int m_end = 255;
    int m_step = 1;
    bool m_closeAfter = false;
    bool m_firstTick = false;
    int m_current = 255;
    // Disabling the window takes its focus away; it is given back at the end.
    QPointer<QWidget> m_focus;
};
