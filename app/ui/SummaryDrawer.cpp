// SPDX-License-Identifier: MIT
#include "ui/SummaryDrawer.h"

#include "model/ByteSize.h"
#include "model/ByteSpeedFormatter.h"
#include "ui_SummaryDrawer.h"

#include <QLabel>
#include <QLocale>
#include <QScrollArea>

namespace {
QString durationText(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// `text` says what was counted: "%1 records".
void showWhenReached(QLabel *label, QLabel *value, quint64 count, const QString &text)
{
    label->setVisible(count > 0);
    value->setVisible(count > 0);
    value->setText(text.arg(QLocale().toString(count)));
}
} // namespace

SummaryDrawer::SummaryDrawer(QWidget *parent)
    : QDockWidget(parent)
    , m_ui(std::make_unique<Ui::SummaryDrawer>())
{
    // Scrolled rather than clipped or forcing its width on the window: in a narrow window the
    // drawer yields to the table.
    auto *contents = new QWidget;
    m_ui->setupUi(contents);
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(contents);
    setWidget(scroll);
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
    const QLocale locale;
    m_ui->interfaceValue->setText(m_interface);
    m_ui->captureTimeValue->setText(durationText(cycle.openedMilliseconds));
    m_ui->liveStreamsValue->setText(tr("%1 TCP, %2 UDP, %3 other")
                                        .arg(locale.toString(totals.tcpStreams), locale.toString(totals.udpStreams),
                                             locale.toString(totals.otherStreams)));
    m_ui->shownStreamsValue->setText(locale.toString(static_cast<qulonglong>(cycle.shownStreams)));
    m_ui->upBytesValue->setText(stringWithByteSize(totals.upBytes, locale));
    m_ui->downBytesValue->setText(stringWithByteSize(totals.downBytes, locale));
    m_ui->upSpeedValue->setText(ByteSpeedFormatter::stringForBytesPerSecond(cycle.upSpeed, locale));
    m_ui->downSpeedValue->setText(ByteSpeedFormatter::stringForBytesPerSecond(cycle.downSpeed, locale));
    m_ui->historyValue->setText(cycle.history);
    showLimits(totals);
}

void SummaryDrawer::showLimits(const CaptureTotals &totals)
{
    showWhenReached(m_ui->foldedLabel, m_ui->foldedValue, totals.foldedRecords, tr("%1 records"));
    showWhenReached(m_ui->lookupsRefusedLabel, m_ui->lookupsRefusedValue, totals.refusedLookups, tr("%1 lookups"));
    showWhenReached(m_ui->droppedLogLinesLabel, m_ui->droppedLogLinesValue, totals.droppedLogLines, tr("%1 lines"));
}
