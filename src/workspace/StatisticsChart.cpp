#include "workspace/StatisticsChart.h"

#include <QPainter>
#include <QPaintEvent>

namespace {
constexpr int Margin = 8;
constexpr int Gap = 6;
constexpr int MaxNameWidth = 220;
} // namespace

StatisticsChart::StatisticsChart(QWidget* parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void StatisticsChart::setCounts(const QList<StatisticsCount>& counts)
{
    m_counts = counts;
    updateGeometry();
    update();
}

int StatisticsChart::rowHeight() const { return fontMetrics().height() + 6; }

int StatisticsChart::nameWidth() const
{
    int widest = 0;
    for (const StatisticsCount& c : m_counts)
        widest = qMax(widest, fontMetrics().horizontalAdvance(c.key));
    return qMin(widest + 6, MaxNameWidth); // a little room, so a name that fits is never elided
}

QSize StatisticsChart::sizeHint() const
{
    return {nameWidth() + 320 + 3 * Margin, 2 * Margin + int(qMax<qsizetype>(1, m_counts.size())) * rowHeight()};
}

QSize StatisticsChart::minimumSizeHint() const { return {200, sizeHint().height()}; }

void StatisticsChart::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QFontMetrics fm = fontMetrics();
    if (m_counts.isEmpty()) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No citations in this range."));
        return;
    }
    int most = 1;
    for (const StatisticsCount& c : m_counts)
        most = qMax(most, c.count);
    const int names = nameWidth();
    const int numberRoom = fm.horizontalAdvance(QString::number(most)) + Gap;
    const int barLeft = Margin + names + Gap;
    const int barRoom = qMax(10, width() - barLeft - numberRoom - Margin);
    const int rh = rowHeight();
    // Only the rows in sight are drawn: a chart can have thousands.
    const int firstRow = qMax(0, (event->rect().top() - Margin) / rh);
    const int lastRow = qMin(int(m_counts.size()) - 1, (event->rect().bottom() - Margin) / rh);
    for (int i = firstRow; i <= lastRow; ++i) {
        const StatisticsCount& c = m_counts[i];
        const int top = Margin + i * rh;
        if (i % 2)
            painter.fillRect(QRect(0, top, width(), rh), QColor(240, 240, 240));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(Margin, top, names, rh), Qt::AlignLeft | Qt::AlignVCenter,
                         fm.elidedText(c.key, Qt::ElideRight, names));
        const int bar = qMax(c.count > 0 ? 2 : 0, int(qint64(barRoom) * c.count / most));
        painter.fillRect(QRect(barLeft, top + 3, bar, rh - 6), barColour());
        painter.drawText(QRect(barLeft + bar + Gap / 2, top, numberRoom, rh), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::number(c.count));
    }
}
