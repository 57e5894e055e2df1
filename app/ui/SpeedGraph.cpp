// SPDX-License-Identifier: MIT
#include "ui/SpeedGraph.h"

#include "model/ByteSize.h"
#include "model/ByteSpeedFormatter.h"
#include "platform/Clock.h"

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
    m_points.push_back({time, std::max(0.0, upBytesPerSecond), std::max(0.0, downBytesPerSecond)});
    while (!m_points.empty() && time - m_points.front().time > kSpanSeconds)
        m_points.pop_front();
    m_since = time - kSpanSeconds;
    m_until = time;
    update();
}

void SpeedGraph::showSeries(std::vector<Point> points, double since, double until)
{
    m_series = true;
    m_points.assign(points.begin(), points.end());
    m_since = since;
    m_until = std::max(until, since + 1.0);
    setToolTip(tr("Bytes per time bucket: up in blue, down in green"));
    update();
}

QSize SpeedGraph::sizeHint() const
{
    return {220, 130};
}

double SpeedGraph::highestValue() const
{
    double highest = 1024.0;
    for (const Point &point : m_points)
        highest = std::max({highest, point.up, point.down});
    return highest;
}

QString SpeedGraph::scaleText(double highest) const
{
    if (m_series)
        return stringWithByteSize(static_cast<quint64>(highest), QLocale());
    return ByteSpeedFormatter::stringForBytesPerSecond(highest, QLocale());
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
    if (m_series)
        drawSeriesAxis(painter, area);
    else
        drawTimeAxis(painter, area);
    const double highest = highestValue();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignTop, scaleText(highest));
    drawLegend(painter);
    drawLine(painter, area, highest, &Point::down);
    drawLine(painter, area, highest, &Point::up);
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

// Five marks from the start of the range to its end: times of day, with the date when the
// range is longer than a day.
void SpeedGraph::drawSeriesAxis(QPainter &painter, const QRectF &area) const
{
    const QRectF below(area.left(), area.bottom() + 2, area.width(), painter.fontMetrics().height());
    constexpr int kMarks = 4;
    const QString format = m_until - m_since > 86400.0 ? QStringLiteral("d MMM HH:mm") : QStringLiteral("HH:mm");
    for (int mark = 0; mark <= kMarks; ++mark) {
        const double share = mark / static_cast<double>(kMarks);
        const double x = area.left() + share * area.width();
        if (mark > 0 && mark < kMarks) {
            painter.setPen(QPen(palette().color(QPalette::Midlight), 1, Qt::DotLine));
            painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        }
        const QDateTime time = Clock::dateTimeFromReference(m_since + share * (m_until - m_since));
        const Qt::Alignment side = mark == 0 ? Qt::AlignLeft : mark == kMarks ? Qt::AlignRight : Qt::AlignHCenter;
        const QRectF place = side == Qt::AlignHCenter ? below.translated(x - below.center().x(), 0) : below;
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(place, static_cast<int>(side | Qt::AlignTop), QLocale().toString(time, format));
    }
}

void SpeedGraph::drawLine(QPainter &painter, const QRectF &area, double highest, double Point::*value) const
{
    if (m_points.size() < 2)
        return;
    const double span = m_until - m_since;
    const auto pointOf = [&](const Point &point) {
        return QPointF(area.left() + (point.time - m_since) / span * area.width(),
                       area.bottom() - point.*value / highest * area.height());
    };
    QPainterPath path(pointOf(m_points.front()));
    for (auto point = std::next(m_points.begin()); point != m_points.end(); ++point)
        path.lineTo(pointOf(*point));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(value == &Point::up ? kUpColor : kDownColor, 1.5));
    painter.drawPath(path);
}
