#include "workspace/frmStatistics.h"

#include "platform/ApplicationTitle.h"
#include "platform/Messages.h"
#include "platform/Progress.h"
#include "platform/Screen.h"
#include "print/StatisticsPrintout.h"
#include "session/AuditNotice.h"
#include "storage/AuditEvents.h"
#include "storage/Storage.h"
#include "store/CitationStatistics.h"
#include "store/DateValue.h"
#include "widgets/BusyGuard.h"
#include "widgets/VellButton.h"
#include "widgets/WindowPlacement.h"
#include "workspace/StatisticsChart.h"

#include <QAbstractTableModel>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

// The rows of one group: name, number of citations, share of the total.
class StatisticsTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setCounts(const QList<StatisticsCount>& counts, int total)
    {
        beginResetModel();
        m_counts = counts;
        m_total = total;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_counts.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_counts.size())
            return {};
        const StatisticsCount& c = m_counts[index.row()];
        if (role == Qt::DisplayRole) {
            switch (index.column()) {
            case 0: return c.key;
            case 1: return c.count;
            case 2: return m_total ? QStringLiteral("%1%").arg(100.0 * c.count / m_total, 0, 'f', 1) : QString();
            }
        }
        if (role == Qt::TextAlignmentRole && index.column() > 0)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::BackgroundRole && index.row() % 2)
            return QColor(240, 240, 240);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char* const headings[3] = {"Name", "Citations", "Share"};
        return (section >= 0 && section < 3) ? QString::fromLatin1(headings[section]) : QVariant();
    }

private:
    QList<StatisticsCount> m_counts;
    int m_total = 0;
};

namespace {

VellButton* makeButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = new VellButton(QLatin1String(name), parent);
    b->setFixedSize(90, 34);
    b->setBackColor(QColor(228, 232, 240));
    b->setBackOver(QColor(255, 244, 200));
    b->setForeColor(QColor(0, 0, 0));
    b->setForeOver(QColor(0, 0, 128));
    b->setCaption(caption);
    return b;
}

// The date boxes show dates in the numeric order the rest of the program uses.
QString dateEditFormat()
{
    switch (NumericDateOrder()) {
    case DateOrder::DayFirst: return QStringLiteral("dd/MM/yyyy");
    case DateOrder::YearFirst: return QStringLiteral("yyyy/MM/dd");
    case DateOrder::MonthFirst: break;
    }
    return QStringLiteral("MM/dd/yyyy");
}

QDateEdit* makeDateEdit(const char* name, QWidget* parent)
{
    auto* edit = new QDateEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setDisplayFormat(dateEditFormat());
    edit->setCalendarPopup(true);
    edit->setDateRange(QDate(100, 1, 1), QDate(9999, 12, 31));
    return edit;
}

} // namespace

frmStatistics::frmStatistics(QList<int> records, QString listCaption, QWidget* parent)
    : QDialog(parent)
    , m_records(std::move(records))
    , m_listCaption(std::move(listCaption))
{
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowTitle(QStringLiteral("Statistics - ") + ApplicationTitle());

    auto* lblFrom = new QLabel(QStringLiteral("Offense dates &from"), this);
    txtFrom = makeDateEdit("txtFrom", this);
    lblFrom->setBuddy(txtFrom);
    auto* lblTo = new QLabel(QStringLiteral("t&o"), this);
    txtTo = makeDateEdit("txtTo", this);
    lblTo->setBuddy(txtTo);
    cmdCount = makeButton("cmdCount", QStringLiteral("&Count"), this);
    cmdAllDates = makeButton("cmdAllDates", QStringLiteral("&All Dates"), this);
    cmdPrint = makeButton("cmdPrint", QStringLiteral("&Print..."), this);
    cmdClose = makeButton("cmdClose", QStringLiteral("Close"), this);

    auto* range = new QHBoxLayout;
    range->addWidget(lblFrom);
    range->addWidget(txtFrom);
    range->addWidget(lblTo);
    range->addWidget(txtTo);
    range->addWidget(cmdCount);
    range->addWidget(cmdAllDates);
    range->addStretch(1);
    range->addWidget(cmdPrint);
    range->addWidget(cmdClose);

    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));

    tabGroups = new QTabWidget(this);
    tabGroups->setObjectName(QStringLiteral("tabGroups"));
    for (size_t g = 0; g < size_t(StatisticsGroup::Count); ++g) {
        auto* split = new QSplitter(Qt::Horizontal, tabGroups);
        m_models[g] = new StatisticsTableModel(split);
        grid[g] = new QTableView(split);
        grid[g]->setObjectName(QStringLiteral("grid(%1)").arg(g));
        grid[g]->setAccessibleName(QStringLiteral("Counts by ") + StatisticsGroupTitle(StatisticsGroup(g)).mid(3));
        grid[g]->setModel(m_models[g]);
        grid[g]->verticalHeader()->hide();
        grid[g]->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid[g]->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid[g]->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        grid[g]->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        grid[g]->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
        grid[g]->verticalHeader()->setDefaultSectionSize(grid[g]->fontMetrics().height() + 6);
        auto* scroll = new QScrollArea(split);
        chart[g] = new StatisticsChart;
        chart[g]->setObjectName(QStringLiteral("chart(%1)").arg(g));
        scroll->setWidget(chart[g]);
        scroll->setWidgetResizable(true);
        split->addWidget(grid[g]);
        split->addWidget(scroll);
        split->setStretchFactor(0, 2);
        split->setStretchFactor(1, 3);
        tabGroups->addTab(split, StatisticsGroupTitle(StatisticsGroup(g)).mid(3)); // "Month", "Code Section"...
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addWidget(lblSummary);
    layout->addWidget(tabGroups, 1);
    // Room for the tables and charts, within a small screen too.
    const QRect area = screenMetrics().availableGeometry();
    resize(qMin(900, area.width() - 40), qMin(560, area.height() - 60));
    RememberWindowPlacement(this);

    connect(cmdCount, &VellButton::Click, this, &frmStatistics::cmdCount_Click);
    connect(cmdAllDates, &VellButton::Click, this, &frmStatistics::cmdAllDates_Click);
    connect(cmdPrint, &VellButton::Click, this, &frmStatistics::cmdPrint_Click);
    connect(cmdClose, &VellButton::Click, this, &QDialog::reject);

    cmdAllDates_Click();
}

bool frmStatistics::count(const QDate& from, const QDate& to)
{
    CitationStatistics stats;
    FileError error;
    bool ok = false;
    {
        BusyGuard busy(this);
        Progress progress(QStringLiteral("Statistics"), QStringLiteral("Counting the citations..."), true);
        ok = CountCitations(SourceOf(storage().citations()), m_records, from, to, stats, error, progress.fn());
    }
    if (!ok && !error.isError())
        return false; // stopped: the counts shown stay as they were
    if (!ok) {
        MsgBox(error.message() + CRLF + CRLF + QStringLiteral("The citations could not be counted."),
               Msg::Critical | Msg::OKOnly, QStringLiteral("Statistics"));
        return false;
    }
    showCounts(stats);
    return true;
}

void frmStatistics::showCounts(const CitationStatistics& stats)
{
    m_stats = stats;
    for (size_t g = 0; g < size_t(StatisticsGroup::Count); ++g) {
        m_models[g]->setCounts(stats.groups[g], stats.total);
        chart[g]->setCounts(stats.groups[g]);
    }
    QString summary = QStringLiteral("%1 of the %2 citations of the list, %3.")
                          .arg(stats.total)
                          .arg(m_records.size())
                          .arg(StatisticsRangeText(stats.from, stats.to));
    lblSummary->setText(summary);
}

void frmStatistics::cmdCount_Click()
{
    QDate from = txtFrom->date(), to = txtTo->date();
    if (from > to)
        std::swap(from, to);
    count(from, to);
}

void frmStatistics::cmdAllDates_Click()
{
    if (!count(QDate(), QDate()))
        return;
    const QDate today = QDate::currentDate();
    txtFrom->setDate(m_stats.first.isValid() ? m_stats.first : today);
    txtTo->setDate(m_stats.last.isValid() ? m_stats.last : today);
}

void frmStatistics::cmdPrint_Click()
{
    if (PrintStatistics(this, m_stats, m_listCaption))
        RecordOrTell(AuditEvents::statisticsPrinted(m_stats.total, m_stats.from, m_stats.to),
                     QStringLiteral("this printout"));
}
