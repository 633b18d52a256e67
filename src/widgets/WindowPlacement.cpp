#include "widgets/WindowPlacement.h"

#include "platform/Screen.h"
#include "platform/Settings.h"

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
        if (!RestoreWindowPlacement(m_window))
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

// Saves a window's placement when it hides, and restores it when it is first shown.
class PlacementKeeper final : public QObject {
public:
    explicit PlacementKeeper(QWidget* window) : QObject(window), m_window(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_window)
            return false;
        if (event->type() == QEvent::Show && !m_restored) {
            m_restored = true;
            RestoreWindowPlacement(m_window);
        } else if (event->type() == QEvent::Hide && m_restored) {
            SaveWindowPlacement(m_window);
        }
        return false;
    }

private:
    QWidget* m_window;
    bool m_restored = false;
};

struct SavedPlacement {
    QRect geometry; // frame's top-left corner, inside size
    bool maximized = false;
};

bool readPlacement(const QString& text, SavedPlacement& out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < 4 || parts.size() > 5)
        return false;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return false;
    }
    if (v[2] <= 0 || v[3] <= 0)
        return false;
    out.geometry = QRect(v[0], v[1], v[2], v[3]);
    out.maximized = parts.size() == 5 && parts[4].trimmed() == QLatin1String("maximized");
    return true;
}

bool isResizable(const QWidget* window) { return window->minimumSize() != window->maximumSize(); }

} // namespace

void RememberWindowPlacement(QWidget* window) { new PlacementKeeper(window); }

void SaveWindowPlacement(const QWidget* window)
{
    if (window->objectName().isEmpty())
        return;
    const bool maximized = window->isMaximized();
    // A maximised window keeps the place it had before, to go back to.
    QRect normal = maximized ? window->normalGeometry() : window->geometry();
    const QMargins frame = WindowFrameMargins(window);
    QPoint corner = maximized ? QPoint(normal.left() - frame.left(), normal.top() - frame.top()) : window->pos();
    const QRect resting = window->property(RestingGeometryProperty).toRect();
    if (!maximized && resting.isValid()) {
        corner = resting.topLeft();
        normal.setSize(resting.size());
    }
    QString text = QStringLiteral("%1,%2,%3,%4").arg(corner.x()).arg(corner.y()).arg(normal.width()).arg(normal.height());
    if (maximized)
        text += QStringLiteral(",maximized");
    SaveSetting(QLatin1String(WindowPlacementSection), window->objectName(), text);
}

bool RestoreWindowPlacement(QWidget* window)
{
    if (window->objectName().isEmpty())
        return false;
    SavedPlacement saved;
    if (!readPlacement(GetSetting(QLatin1String(WindowPlacementSection), window->objectName()), saved))
        return false;
    const QRect area = screenMetrics().availableGeometry();
    const QMargins frame = WindowFrameMargins(window);
    QSize inside = window->size();
    if (isResizable(window)) {
        // As large as saved, within the window's limits and the area.
        inside = saved.geometry.size()
                     .expandedTo(window->minimumSize())
                     .boundedTo(window->maximumSize())
                     .boundedTo(area.size().shrunkBy(frame).expandedTo(window->minimumSize()));
        window->resize(inside);
    }
    const QSize outer = inside.grownBy(frame);
    // The whole frame inside the area; a window larger than the area keeps
    // its title bar in reach.
    const int left = qMax(area.left(), qMin(saved.geometry.left(), area.right() + 1 - outer.width()));
    const int top = qMax(area.top(), qMin(saved.geometry.top(), area.bottom() + 1 - outer.height()));
    window->move(left, top);
    if (saved.maximized && isResizable(window))
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    return true;
}

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
