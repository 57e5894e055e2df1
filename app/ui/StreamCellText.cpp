// SPDX-License-Identifier: MIT
#include "ui/StreamCellText.h"

#include "model/ByteSize.h"
#include "model/ByteSpeedFormatter.h"
#include "model/PrintableText.h"
#include "model/Stream.h"
#include "model/ValueText.h"
#include "platform/Clock.h"
#include "ui/StreamTableModel.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>

namespace {

bool isSpeed(Stream::Key key)
{
    return key == Stream::Key::UpSpeedNumber || key == Stream::Key::DownSpeedNumber
        || key == Stream::Key::LifetimeUpSpeedNumber || key == Stream::Key::LifetimeDownSpeedNumber;
}

bool isEndpoint(int column)
{
    return column == StreamTableModel::SourceColumn || column == StreamTableModel::DestinationColumn;
}

// Streams keep times in seconds since 2001; people read them as their local date and time.
QString localDateTime(double referenceTime)
{
    return QLocale().toString(Clock::dateTimeFromReference(referenceTime), QLocale::ShortFormat);
}

} // namespace

QVariant StreamCellText::data(const Stream &stream, int column, const QVariant &value, int role)
{
    switch (role) {
    case Qt::DisplayRole:
        return displayText(column, value);
    case StreamTableModel::RawValueRole:
        return value;
    case StreamTableModel::ExportValueRole:
        return exportValue(column, value);
    case StreamTableModel::AddressRole:
    case StreamTableModel::PortRole:
        return endpointValue(stream, column, role);
    case Qt::ToolTipRole:
        return toolTip(stream, column, value);
    case Qt::TextAlignmentRole:
        return alignment(column);
    // A connection that has ended shows for one more cycle, greyed, before it leaves.
    case Qt::ForegroundRole:
        if (stream.hasEnded())
            return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
        return {};
    default:
        return {};
    }
}

QString StreamCellText::displayText(int column, const QVariant &value)
{
    const Stream::Key key = StreamTableModel::keyOfColumn(column);
    if (isSpeed(key))
        return ByteSpeedFormatter::stringForBytesPerSecond(value.toDouble(), QLocale());
    if (key == Stream::Key::OpenedTime)
        return value.isValid() ? localDateTime(value.toDouble()) : QString();
    if (StreamTableModel::isNumeric(column))
        return stringWithByteSize(value.toULongLong(), QLocale());
    return value.toString();
}

QVariant StreamCellText::exportValue(int column, const QVariant &value)
{
    if (StreamTableModel::keyOfColumn(column) == Stream::Key::OpenedTime && value.isValid())
        return isoDateTimeText(Clock::dateTimeFromReference(value.toDouble()));
    return value;
}

QVariant StreamCellText::alignment(int column)
{
    return StreamTableModel::isNumeric(column) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                               : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
}

QString StreamCellText::plainToolTip(const QStringList &lines)
{
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(printableText(lines.join(u'\n')).toHtmlEscaped());
}

QVariant StreamCellText::endpointValue(const Stream &stream, int column, int role)
{
    if (!isEndpoint(column))
        return {};
    const auto endpoint
        = (column == StreamTableModel::SourceColumn ? stream.sourceSide() : stream.destinationSide()).endpoint();
    if (!endpoint)
        return {};
    return role == StreamTableModel::AddressRole ? QVariant(endpoint->addressText())
                                                 : QVariant(static_cast<int>(endpoint->port));
}

// The whole text of a cut cell; for an endpoint, everything known of that end, because a
// host name in the cell hides the address (the local side shows the machine's name).
QString StreamCellText::toolTip(const Stream &stream, int column, const QVariant &value)
{
    const QString text = displayText(column, value);
    if (!isEndpoint(column))
        return text.isEmpty() ? QString() : plainToolTip({text});
    const EndpointText side = column == StreamTableModel::SourceColumn ? stream.sourceSide() : stream.destinationSide();
    QStringList lines{text};
    if (const auto &endpoint = side.endpoint()) {
        lines << QCoreApplication::translate("StreamTableModel", "Address: %1").arg(endpoint->addressText())
              << QCoreApplication::translate("StreamTableModel", "Port: %1").arg(endpoint->port);
    }
    if (!side.hostName().isEmpty())
        lines << QCoreApplication::translate("StreamTableModel", "Host name: %1").arg(side.hostName());
    if (!side.serviceName().isEmpty())
        lines << QCoreApplication::translate("StreamTableModel", "Service: %1").arg(side.serviceName());
    if (const QString process = stream.process(); !process.isEmpty())
        lines << QCoreApplication::translate("StreamTableModel", "Program: %1").arg(process);
    return plainToolTip(lines);
}
