#pragma once
// Long work inside a window: the wait cursor shows and the window takes no
// input until the guard goes out of scope, on every path out of the work.
// Guards nest; each one restores what it found, the focus included.
#include <QPointer>
#include <QWidget>

class BusyGuard {
public:
    explicit BusyGuard(QWidget* window);
    ~BusyGuard();
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    QWidget* m_window;
    bool m_wasEnabled;
    QPointer<QWidget> m_focus; // disabling the window takes its focus away
};
