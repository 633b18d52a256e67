#include "platform/Progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressDialog>

namespace {

// Work that cannot stop part way keeps its box up: Esc and the window's
// close button do nothing there.
class WorkDialog final : public QProgressDialog {
public:
    WorkDialog(const QString& label, bool stoppable, QWidget* owner)
        : QProgressDialog(label, stoppable ? QStringLiteral("Cancel") : QString(), 0, 1000, owner)
        , m_stoppable(stoppable)
    {
        if (!stoppable) {
            setCancelButton(nullptr);
            setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        }
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!m_stoppable && event->key() == Qt::Key_Escape)
            return;
        QProgressDialog::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        if (!m_stoppable) {
            event->ignore();
            return;
        }
        QProgressDialog::closeEvent(event);
    }

private:
    bool m_stoppable;
};

// Shown after the work has taken a second, as a window-modal box over the
// window in front: the windows behind are repainted while the work goes on,
// but take no input.
class DialogView final : public ProgressView {
public:
    void begin(const QString& caption, const QString& label, bool cancellable) override
    {
        m_caption = caption;
        m_label = label;
        m_cancellable = cancellable;
        m_clock.start();
    }
    bool update(qint64 done, qint64 total) override
    {
        if (!m_dialog && m_clock.elapsed() >= 1000 && QApplication::instance())
            show();
        if (m_dialog) {
            m_dialog->setValue(total > 0 ? int(qBound(qint64(0), done * 1000 / total, qint64(1000))) : 0);
            QApplication::processEvents();
            return !(m_dialog && m_dialog->wasCanceled());
        }
        // Not shown yet: repaint, but let no click reach the windows.
        if (QApplication::instance())
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    }
    void end() override
    {
        if (m_dialog) {
            delete m_dialog;
            QApplication::restoreOverrideCursor();
        }
    }

private:
    void show()
    {
        QWidget* owner = QApplication::activeWindow();
        m_dialog = new WorkDialog(m_label, m_cancellable, owner);
        m_dialog->setWindowTitle(m_caption);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoReset(false);
        m_dialog->setAutoClose(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->setMinimumWidth(360);
        // The window behind is disabled while it works; the box over it is not.
        m_dialog->setEnabled(true);
        m_dialog->show();
        // The window behind shows the wait pointer; Cancel is to be pressed.
        QApplication::setOverrideCursor(m_cancellable ? Qt::ArrowCursor : Qt::WaitCursor);
    }

    QString m_caption, m_label;
    bool m_cancellable = false;
    QElapsedTimer m_clock;
    QPointer<QProgressDialog> m_dialog;
};

DialogView g_dialogView;
ProgressView* g_view = nullptr;

qint64 nowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

} // namespace

ProgressView& progressView() { return g_view ? *g_view : g_dialogView; }
void setProgressView(ProgressView* view) { g_view = view; }

Progress::Progress(const QString& caption, const QString& label, bool cancellable)
    : m_started(nowMs())
    , m_cancellable(cancellable)
{
    progressView().begin(caption, label, cancellable);
}

Progress::~Progress() { progressView().end(); }

bool Progress::report(qint64 done, qint64 total)
{
    if (m_cancelled)
        return false;
    const qint64 now = nowMs() - m_started;
    if (m_lastShown >= 0 && now - m_lastShown < 40 && done < total)
        return true;
    m_lastShown = now;
    if (!progressView().update(done, total) && m_cancellable)
        m_cancelled = true;
    return !m_cancelled;
}
