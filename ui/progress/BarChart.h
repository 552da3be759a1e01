#pragma once

#include <QWidget>

// Horizontal bars, one a row: a name, a bar as long as its share of the largest, and the number.
class BarChart : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

    void setBars(const QList<std::pair<QString, qint64>>& bars);
    const QList<std::pair<QString, qint64>>& bars() const { return m_bars; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int RowHeight = 22;
    QList<std::pair<QString, qint64>> m_bars;
};
