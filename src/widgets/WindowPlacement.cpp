#include "widgets/WindowPlacement.h"

#include "platform/Screen.h"

#include <QEvent>
#include <QStyle>
#include <QWidget>
#include <QWindow>

namespace {

QMargins estimatedFrame(const QWidget* window)
{
    const int border = 4;
    const int titleBar = qMax(window->style()->pixelMetric(QStyle::PM_TitleBarHeight),
                              window->fontMetrics().height() + 12);
    return {border, titleBar + border, border, border};
}

QMargins framedMargins(const QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    if (!handle || !window->isVisible())
        return {};
    return handle->frameMargins();
}

// The inside size of a window with frame `frame` whose outer size is `outer`,
// cut to the available screen area.
QSize fittedInside(QSize outer, QMargins frame)
{
    const QRect area = screenMetrics().availableGeometry();
    return outer.boundedTo(area.size()).shrunkBy(frame);
}

// Redoes a window's placement when the frame the window system gives it
// differs from the one the placement assumed.
class Replacer final : public QObject {
public:
    Replacer(QWidget* window, QSize outer, std::function<void(QSize)> layOut, QMargins assumed)
        : QObject(window), m_window(window), m_outer(outer), m_layOut(std::move(layOut)), m_assumed(assumed)
    {
        window->installEventFilter(this);
    }

    void apply(QMargins frame)
    {
        m_assumed = frame;
        const QSize inside = fittedInside(m_outer, frame);
        if (m_layOut)
            m_layOut(inside);
        else
            m_window->setFixedSize(inside);
        CenterOnScreen(m_window);
    }

    QMargins assumed() const { return m_assumed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && !m_done
            && (event->type() == QEvent::Show || event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
            const QMargins real = framedMargins(m_window);
            if (!real.isNull()) {
                // The first real frame decides; later moves are the user's.
                m_done = true;
                if (real != m_assumed)
                    apply(real);
            }
        }
        return false;
    }

private:
    QWidget* m_window;
    QSize m_outer;
    std::function<void(QSize)> m_layOut;
    QMargins m_assumed;
    bool m_done = false;
};

} // namespace

QMargins WindowFrameMargins(const QWidget* window)
{
    const QMargins real = framedMargins(window);
    if (!real.isNull())
        return real;
    if (window->windowFlags() & Qt::FramelessWindowHint)
        return {};
    return estimatedFrame(window);
}

QSize FittedClientSize(const QWidget* window, QSize outer)
{
    return fittedInside(outer, WindowFrameMargins(window));
}

void CenterOnScreen(QWidget* window)
{
    const QRect area = screenMetrics().availableGeometry();
    const QMargins frame = WindowFrameMargins(window);
    const QSize outer = window->size().grownBy(frame);
    // Centred; where the window is larger than the area its top-left corner
    // stays inside, so the title bar can always be reached.
    const int left = area.left() + qMax(0, (area.width() - outer.width()) / 2);
    const int top = area.top() + qMax(0, (area.height() - outer.height()) / 2);
    // move() places the frame's top-left corner.
    window->move(left, top);
}

void PlaceOnScreen(QWidget* window, QSize outer, std::function<void(QSize)> layOut)
{
    auto* replacer = new Replacer(window, outer, std::move(layOut), WindowFrameMargins(window));
    replacer->apply(replacer->assumed());
}
