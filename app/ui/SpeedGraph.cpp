// SPDX-License-Identifier: MIT
#include "ui/SpeedGraph.h"

#include "model/ByteSpeedFormatter.h"

#include <QLocale>
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
    setMinimumHeight(110);
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
    return {220, 130};
}

double SpeedGraph::highestSpeed() const
{
    double highest = 1024.0;
    for (const Sample &sample : m_samples)
        highest = std::max({highest, sample.up, sample.down});
    return highest;
}

// Above the plot the scale and the legend, below it the time axis.
void SpeedGraph::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int line = painter.fontMetrics().height();
    const QRectF area = QRectF(rect()).adjusted(1, line + 2, -1, -(line + 2));
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRect(area);
    drawTimeAxis(painter, area);
    const double highest = highestSpeed();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignTop,
                     ByteSpeedFormatter::stringForBytesPerSecond(highest, QLocale()));
    drawLegend(painter);
    drawLine(painter, area, highest, &Sample::down);
    drawLine(painter, area, highest, &Sample::up);
}

// A swatch of each line's colour before its name, right-aligned on the top line.
void SpeedGraph::drawLegend(QPainter &painter) const
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int swatch = metrics.ascent() - 2;
    int right = width() - 2;
    for (const auto &[name, color] : {std::pair(tr("Down"), kDownColor), std::pair(tr("Up"), kUpColor)}) {
        const int textWidth = metrics.horizontalAdvance(name);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QPoint(right - textWidth, metrics.ascent()), name);
        right -= textWidth + 3 + swatch;
        painter.fillRect(QRect(right, (metrics.height() - swatch) / 2, swatch, swatch), color);
        right -= metrics.horizontalAdvance(QLatin1Char(' ')) * 2;
    }
}

// A mark every minute of the span, from its oldest end to now on the right.
void SpeedGraph::drawTimeAxis(QPainter &painter, const QRectF &area) const
{
    const QRectF below(area.left(), area.bottom() + 2, area.width(), painter.fontMetrics().height());
    const int minutes = static_cast<int>(kSpanSeconds / 60.0);
    for (int minute = 0; minute <= minutes; ++minute) {
        const double x = area.right() - minute / static_cast<double>(minutes) * area.width();
        if (minute > 0 && minute < minutes) {
            painter.setPen(QPen(palette().color(QPalette::Midlight), 1, Qt::DotLine));
            painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        }
        const QString label = minute == 0 ? tr("now") : tr("-%1 min").arg(minute);
        const Qt::Alignment side = minute == 0 ? Qt::AlignRight : minute == minutes ? Qt::AlignLeft : Qt::AlignHCenter;
        const QRectF place = side == Qt::AlignHCenter ? below.translated(x - below.center().x(), 0) : below;
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(place, static_cast<int>(side | Qt::AlignTop), label);
    }
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
