#pragma once
// The statistics window: counts of the citations of the list on display by
// month, code section, issuing officer and county / city, within a range of
// offense dates, each as a table and a bar chart, printable and savable as
// PDF through the printer.
#include "store/CitationStatistics.h"

#include <QDialog>
#include <array>

class QDateEdit;
class QLabel;
class QTabWidget;
class QTableView;
class StatisticsChart;
class StatisticsTableModel;
class VellButton;

class frmStatistics : public QDialog {
    Q_OBJECT
public:
    // `records`: the record numbers of the list, `listCaption` its caption.
    frmStatistics(QList<int> records, QString listCaption, QWidget* parent = nullptr);

    QDateEdit* txtFrom = nullptr;
    QDateEdit* txtTo = nullptr;
    QLabel* lblSummary = nullptr;
    QTabWidget* tabGroups = nullptr;
    std::array<QTableView*, size_t(StatisticsGroup::Count)> grid{};
    std::array<StatisticsChart*, size_t(StatisticsGroup::Count)> chart{};
    VellButton* cmdCount = nullptr;
    VellButton* cmdAllDates = nullptr;
    VellButton* cmdPrint = nullptr;
    VellButton* cmdClose = nullptr;

    const CitationStatistics& statistics() const { return m_stats; }

    // Counts within the dates of the two boxes.
    void cmdCount_Click();
    // Counts every citation of the list, whatever its date.
    void cmdAllDates_Click();
    void cmdPrint_Click();

private:
    bool count(const QDate& from, const QDate& to);
    void showCounts(const CitationStatistics& stats);

    QList<int> m_records;
    QString m_listCaption;
    CitationStatistics m_stats;
    std::array<StatisticsTableModel*, size_t(StatisticsGroup::Count)> m_models{};
};
