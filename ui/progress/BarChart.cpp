#include "BarChart.h"

#include <QPainter>

#include <algorithm>

void BarChart::setBars(const QList<std::pair<QString, qint64>>& bars)
{
    m_bars = bars;
    setMinimumHeight(int(m_bars.size()) * RowHeight + 4);
    update();
}

void BarChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int nameWidth = width() / 3;
    const int numberWidth = metrics.horizontalAdvance(QStringLiteral("0000000000"));
    const int barSpace = std::max(10, width() - nameWidth - numberWidth - 16);
    qint64 largest = 1;
    for (const auto& [name, value] : m_bars)
        largest = std::max(largest, value);
    for (qsizetype i = 0; i < m_bars.size(); ++i) {
        const auto& [name, value] = m_bars.at(i);
        const int top = int(i) * RowHeight + 2;
        const QRect nameRect(4, top, nameWidth - 8, RowHeight);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(nameRect, Qt::AlignVCenter | Qt::AlignLeft,
                         metrics.elidedText(name, Qt::ElideRight, nameRect.width()));
        const int length = int(double(barSpace) * double(value) / double(largest));
        painter.fillRect(QRect(nameWidth, top + 4, std::max(length, value > 0 ? 1 : 0), RowHeight - 8),
                         palette().color(QPalette::Highlight));
        painter.drawText(QRect(nameWidth + length + 6, top, numberWidth, RowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                         QString::number(value));
    }
}
