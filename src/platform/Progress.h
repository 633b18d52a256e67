#pragma once
// Long work (rewriting a large data file, an export, counting or printing a
// long list, a restore or conversion) tells how far it got. The window in
// front shows a progress bar once the work has taken a second, keeps its
// windows repainted meanwhile, and offers Cancel where stopping part way
// leaves nothing half done.
#include <QString>
#include <QtGlobal>
#include <functional>

// Told `done` of `total` units (bytes, records, rows); returns false when
// the user asked to stop. An empty function reports to no one.
using ProgressFn = std::function<bool(qint64 done, qint64 total)>;

// Shows the progress of one piece of work; behind a seam so that tests can
// record what would have been shown.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void begin(const QString& caption, const QString& label, bool cancellable) = 0;
    // False when the user pressed Cancel (only offered when cancellable).
    virtual bool update(qint64 done, qint64 total) = 0;
    virtual void end() = 0;
};

ProgressView& progressView();
void setProgressView(ProgressView* view); // tests; nullptr restores the progress dialog

// One piece of long work, from its start to the end of its scope. Pass
// fn() to the work; it forwards to the view at most every few hundredths of
// a second (and always at the start and the end), so work that reports every
// record costs next to nothing.
class Progress {
public:
    Progress(const QString& caption, const QString& label, bool cancellable = false);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    bool report(qint64 done, qint64 total);
    ProgressFn fn()
    {
        return [this](qint64 done, qint64 total) { return report(done, total); };
    }
    bool cancelled() const { return m_cancelled; }

private:
    qint64 m_lastShown = -1; // ms since the start of the last update shown
    qint64 m_started = 0;
    bool m_cancelled = false;
    bool m_cancellable;
};
