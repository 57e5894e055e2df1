// SPDX-License-Identifier: MIT
#include "ui/SpeedGraph.h"

#include "model/ByteSpeedFormatter.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
const QColor kUpColor(0x2E, 0x86, 0xDE);
const QColor kDownColor(0x27, 0xAE, 0x60);
} // namespace

SpeedGraph::SpeedGraph(QWidget *parent)
    : QWidget(parent)
{
    setMinimumHeight(90);
    setToolTip(tr("Total speed over the last two minutes: up in blue, down in green"));
}

void SpeedGraph::addSample(double time, double upBytesPerSecond, double downBytesPerSecond)
{
    m_samples.push_back({time, std::max(0.0, upBytesPerSecond), std::max(0.0, downBytesPerSecond)});
    while (!m_samples.empty() && time - m_samples.front().time > kSpanSeconds)
        m_samples.pop_front();
    update();
}

QSize SpeedGraph::sizeHint() const
{
    return {220, 110};
}

double SpeedGraph::highestSpeed() const
{
    double highest = 1024.0;
    for (const Sample &sample : m_samples)
        highest = std::max({highest, sample.up, sample.down});
    return highest;
}

void SpeedGraph::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(1, painter.fontMetrics().height() + 2, -1, -1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRect(area);
    const double highest = highestSpeed();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignTop,
                     ByteSpeedFormatter::stringForBytesPerSecond(highest));
    drawLine(painter, area, highest, &Sample::down);
    drawLine(painter, area, highest, &Sample::up);
}

void SpeedGraph::drawLine(QPainter &painter, const QRectF &area, double highest, double Sample::*speed) const
{
    if (m_samples.size() < 2)
        return;
    const double newest = m_samples.back().time;
    const auto pointOf = [&](const Sample &sample) {
        return QPointF(area.right() - (newest - sample.time) / kSpanSeconds * area.width(),
                       area.bottom() - sample.*speed / highest * area.height());
    };
    QPainterPath path(pointOf(m_samples.front()));
    for (auto sample = std::next(m_samples.begin()); sample != m_samples.end(); ++sample)
        path.lineTo(pointOf(*sample));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(speed == &Sample::up ? kUpColor : kDownColor, 1.5));
    painter.drawPath(path);
}
