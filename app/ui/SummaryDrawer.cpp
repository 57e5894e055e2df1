// SPDX-License-Identifier: MIT
#include "ui/SummaryDrawer.h"

#include "model/ByteSize.h"
#include "model/ByteSpeedFormatter.h"
#include "ui_SummaryDrawer.h"

#include <QLabel>

namespace {
QString durationText(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void showWhenReached(QLabel *label, QLabel *value, quint64 count)
{
    label->setVisible(count > 0);
    value->setVisible(count > 0);
    value->setText(QString::number(count));
}
} // namespace

SummaryDrawer::SummaryDrawer(QWidget *parent)
    : QDockWidget(parent)
    , m_ui(std::make_unique<Ui::SummaryDrawer>())
{
    auto *contents = new QWidget(this);
    m_ui->setupUi(contents);
    setWidget(contents);
}

SummaryDrawer::~SummaryDrawer() = default;

void SummaryDrawer::setInterface(const QString &interfaceName, const QString &address)
{
    m_interface = address.isEmpty() ? interfaceName : interfaceName + u' ' + address;
}

void SummaryDrawer::refresh(const Cycle &cycle)
{
    m_ui->speedGraph->addSample(static_cast<double>(cycle.openedMilliseconds) / 1000.0, cycle.upSpeed, cycle.downSpeed);
    if (!isVisible())
        return;
    const CaptureTotals &totals = cycle.totals;
    m_ui->interfaceValue->setText(m_interface);
    m_ui->captureTimeValue->setText(durationText(cycle.openedMilliseconds));
    m_ui->liveStreamsValue->setText(
        tr("%1 TCP, %2 UDP, %3 other").arg(totals.tcpStreams).arg(totals.udpStreams).arg(totals.otherStreams));
    m_ui->shownStreamsValue->setText(QString::number(cycle.shownStreams));
    m_ui->upBytesValue->setText(stringWithByteSize(totals.upBytes));
    m_ui->downBytesValue->setText(stringWithByteSize(totals.downBytes));
    m_ui->upSpeedValue->setText(ByteSpeedFormatter::stringForBytesPerSecond(cycle.upSpeed));
    m_ui->downSpeedValue->setText(ByteSpeedFormatter::stringForBytesPerSecond(cycle.downSpeed));
    m_ui->historyValue->setText(cycle.history);
    showLimits(totals);
}

void SummaryDrawer::showLimits(const CaptureTotals &totals)
{
    showWhenReached(m_ui->foldedLabel, m_ui->foldedValue, totals.foldedRecords);
    showWhenReached(m_ui->lookupsRefusedLabel, m_ui->lookupsRefusedValue, totals.refusedLookups);
    showWhenReached(m_ui->droppedLogLinesLabel, m_ui->droppedLogLinesValue, totals.droppedLogLines);
}
