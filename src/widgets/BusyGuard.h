#pragma once
// Long work inside a window: the wait cursor shows and the window takes no
// input until the guard goes out of scope, on every path out of the work.
// Guards nest; each one restores what it found, the focus included.
//
// Input reaches a window only through the event loop, so the window is
// disabled (and greyed) the moment events are handled while the guard lives
// (a progress bar's updates, a message box) and not for work that handles
// none: disabling and enabling every control of a large window costs more
// than a quick save.
#include <QObject>
#include <QPointer>
#include <QWidget>

class BusyGuard : public QObject {
public:
    explicit BusyGuard(QWidget* window);
    ~BusyGuard() override;
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    bool m_disabled = false; // this guard disabled the window
    QPointer<QWidget> m_focus; // disabling the window takes its focus away
};
