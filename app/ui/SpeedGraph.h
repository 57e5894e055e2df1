// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <deque>

// The total up and down speed of a window's capture over the last two minutes, one sample
// per update cycle, drawn as two lines over a scale that fits the highest speed shown, with
// a legend of the two colours and a time axis marked every minute.
class SpeedGraph : public QWidget
{
    Q_OBJECT

public:
    static constexpr double kSpanSeconds = 120.0;

    explicit SpeedGraph(QWidget *parent = nullptr);

    // A sample at `time` (seconds, any steady origin) in bytes per second.
    void addSample(double time, double upBytesPerSecond, double downBytesPerSecond);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Sample
    {
        double time;
        double up;
        double down;
    };

    double highestSpeed() const;
    void drawLegend(QPainter &painter) const;
    void drawTimeAxis(QPainter &painter, const QRectF &area) const;
    void drawLine(QPainter &painter, const QRectF &area, double highest, double Sample::*speed) const;

    std::deque<Sample> m_samples;
};
