// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <deque>
#include <vector>

// Up and down traffic drawn as two lines over a scale that fits the highest value shown, with
// a legend of the two colours and a time axis. Live, it is the total speed of a window's
// capture over the last two minutes, one sample per update cycle, marked every minute. Given
// a series (the history's bytes per time bucket), it shows that series over its range, in
// bytes, marked with the times of day.
class SpeedGraph : public QWidget
{
    Q_OBJECT

public:
    static constexpr double kSpanSeconds = 120.0;

    struct Point
    {
        double time;
        double up;
        double down;
    };

    explicit SpeedGraph(QWidget *parent = nullptr);

    // A sample at `time` (seconds, any steady origin) in bytes per second.
    void addSample(double time, double upBytesPerSecond, double downBytesPerSecond);
    // Shows `points` (times in reference seconds, values in bytes) over [since, until) in place
    // of any samples.
    void showSeries(std::vector<Point> points, double since, double until);
    const std::deque<Point> &points() const { return m_points; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double highestValue() const;
    QString scaleText(double highest) const;
    void drawLegend(QPainter &painter) const;
    void drawTimeAxis(QPainter &painter, const QRectF &area) const;
    void drawSeriesAxis(QPainter &painter, const QRectF &area) const;
    void drawLine(QPainter &painter, const QRectF &area, double highest, double Point::*value) const;

    std::deque<Point> m_points;
    bool m_series = false;
    double m_since = 0.0;
    double m_until = 0.0;
};
