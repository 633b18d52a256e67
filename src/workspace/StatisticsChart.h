#pragma once
// A horizontal bar chart of counts, one bar per row with its name and
// number, drawn for the statistics window.
#include "store/CitationStatistics.h"

#include <QWidget>

class StatisticsChart : public QWidget {
    Q_OBJECT
public:
    explicit StatisticsChart(QWidget* parent = nullptr);
    void setCounts(const QList<StatisticsCount>& counts);
    const QList<StatisticsCount>& counts() const { return m_counts; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static QColor barColour() { return {70, 110, 170}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int rowHeight() const;
    int nameWidth() const;
    QList<StatisticsCount> m_counts;
};
