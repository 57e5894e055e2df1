// SPDX-License-Identifier: MIT
#include "history/HistoryReport.h"

#include "model/ByteSize.h"
#include "model/EndpointText.h"
#include "model/ExportField.h"
#include "model/PrintableText.h"
#include "model/StreamProtocol.h"
#include "platform/Clock.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace {

using Kind = HistoryReport::Kind;
using Column = HistoryReport::Column;
using Row = QVariantList;

QString isoText(double referenceSeconds)
{
    const QDateTime time = Clock::dateTimeFromReference(referenceSeconds);
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QVariant exported(const QVariant &value, Kind kind)
{
    return kind == Kind::Time ? QVariant(isoText(value.toDouble())) : value;
}

// Texts to the left of their column, numbers to the right; the last column is not padded.
QByteArray textTable(const std::vector<Column> &columns, const std::vector<Row> &rows)
{
    std::vector<QStringList> cells(1);
    for (const Column &column : columns)
        cells.front() << column.name;
    for (const Row &row : rows) {
        cells.emplace_back();
        for (std::size_t index = 0; index < columns.size(); ++index)
            cells.back() << HistoryReport::shown(row.at(qsizetype(index)), columns[index].kind);
    }
    std::vector<qsizetype> widths(columns.size(), 0);
    for (const QStringList &line : cells)
        for (std::size_t index = 0; index < columns.size(); ++index)
            widths[index] = std::max(widths[index], line.at(qsizetype(index)).size());
    QByteArray text;
    for (const QStringList &line : cells) {
        QStringList padded;
        for (std::size_t index = 0; index < columns.size(); ++index) {
            const bool last = index + 1 == columns.size();
            const bool left = columns[index].kind == Kind::Text || columns[index].kind == Kind::Time;
            const QString &cell = line.at(qsizetype(index));
            padded << (left ? (last ? cell : cell.leftJustified(widths[index])) : cell.rightJustified(widths[index]));
        }
        text += padded.join(QStringLiteral("  ")).toUtf8() + '\n';
    }
    return text;
}

QByteArray jsonLines(const std::vector<Column> &columns, const std::vector<Row> &rows)
{
    QByteArray text;
    for (const Row &row : rows) {
        QJsonObject object;
        for (std::size_t index = 0; index < columns.size(); ++index)
            object.insert(columns[index].name, jsonField(exported(row.at(qsizetype(index)), columns[index].kind)));
        text += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
    return text;
}

QByteArray csvTable(const std::vector<Column> &columns, const std::vector<Row> &rows)
{
    QStringList lines;
    QStringList header;
    for (const Column &column : columns)
        header << column.name;
    lines << header.join(u',');
    for (const Row &row : rows) {
        QStringList fields;
        for (std::size_t index = 0; index < columns.size(); ++index)
            fields << csvField(exported(row.at(qsizetype(index)), columns[index].kind));
        lines << fields.join(u',');
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

// The titles are looked up when a table is made, so each speaks the language of the moment.
std::vector<Column> byteColumns()
{
    return {{QStringLiteral("lifetimeUpBytes"), HistoryReport::tr("Up"), Kind::Bytes},
            {QStringLiteral("lifetimeDownBytes"), HistoryReport::tr("Down"), Kind::Bytes},
            {QStringLiteral("lifetimeUpDataBytes"), HistoryReport::tr("Payload Up"), Kind::Bytes},
            {QStringLiteral("lifetimeDownDataBytes"), HistoryReport::tr("Payload Down"), Kind::Bytes}};
}

template <typename Counted> void appendBytes(Row &row, const Counted &counted)
{
    row << QVariant::fromValue(counted.upBytes) << QVariant::fromValue(counted.downBytes)
        << QVariant::fromValue(counted.upPayloadBytes) << QVariant::fromValue(counted.downPayloadBytes);
}

std::vector<Column> groupColumns(HistoryQuery::Grouping grouping)
{
    std::vector<Column> columns;
    switch (grouping) {
    case HistoryQuery::Grouping::RemoteHost:
        columns = {{QStringLiteral("host"), HistoryReport::tr("Remote Host"), Kind::Text},
                   {QStringLiteral("address"), HistoryReport::tr("Address"), Kind::Text}};
        break;
    case HistoryQuery::Grouping::Program:
        columns = {{QStringLiteral("process"), HistoryReport::tr("Program"), Kind::Text}};
        break;
    case HistoryQuery::Grouping::Service:
        columns = {{QStringLiteral("service"), HistoryReport::tr("Service"), Kind::Text},
                   {QStringLiteral("protocol"), HistoryReport::tr("Protocol"), Kind::Text},
                   {QStringLiteral("port"), HistoryReport::tr("Port"), Kind::Count}};
        break;
    }
    columns.push_back({QStringLiteral("streams"), HistoryReport::tr("Streams"), Kind::Count});
    const std::vector<Column> bytes = byteColumns();
    columns.insert(columns.end(), bytes.begin(), bytes.end());
    return columns;
}

// A host without a name reads as its address, a service without one as its port.
Row groupRow(const HistoryQuery::Group &group)
{
    Row row;
    switch (group.key.grouping) {
    case HistoryQuery::Grouping::RemoteHost:
        row << (group.name.isEmpty() ? group.address.addressText() : group.name) << group.address.addressText();
        break;
    case HistoryQuery::Grouping::Program:
        row << group.name;
        break;
    case HistoryQuery::Grouping::Service:
        row << (group.name.isEmpty() ? QString::number(group.port) : group.name) << protocolText(group.protocol)
            << QVariant::fromValue(quint64{group.port});
        break;
    }
    row << QVariant::fromValue(group.totals.streams);
    appendBytes(row, group.totals);
    return row;
}

QString endpointText(const StreamEndpoint &endpoint, const QString &hostName, const QString &serviceName)
{
    EndpointText text(endpoint);
    text.setHostName(hostName);
    text.setServiceName(serviceName);
    return text.text();
}

} // namespace

HistoryReport::Table HistoryReport::groupTable(const std::vector<HistoryQuery::Group> &groups,
                                               HistoryQuery::Grouping grouping)
{
    Table table{groupColumns(grouping), {}};
    for (const HistoryQuery::Group &group : groups)
        table.rows.push_back(groupRow(group));
    return table;
}

// "time" is when the stream was last seen, as a window-less line's is when it was printed.
HistoryReport::Table HistoryReport::streamTable(const std::vector<HistoryRecord> &streams)
{
    Table table;
    table.columns = {{QStringLiteral("openedTime"), tr("Opened"), Kind::Time},
                     {QStringLiteral("time"), tr("Last Seen"), Kind::Time},
                     {QStringLiteral("interface"), tr("Interface"), Kind::Text},
                     {QStringLiteral("protocol"), tr("Protocol"), Kind::Text},
                     {QStringLiteral("source"), tr("Source"), Kind::Text},
                     {QStringLiteral("destination"), tr("Destination"), Kind::Text}};
    const std::vector<Column> bytes = byteColumns();
    table.columns.insert(table.columns.end(), bytes.begin(), bytes.end());
    table.columns.insert(table.columns.end(),
                         {{QStringLiteral("closeReason"), tr("Ended"), Kind::Text},
                          {QStringLiteral("process"), tr("Process"), Kind::Text}});
    for (const HistoryRecord &record : streams) {
        Row row{record.firstSeen,
                record.lastSeen,
                record.interfaceName,
                protocolText(record.protocol),
                endpointText(record.local, record.localHostName, record.localServiceName),
                endpointText(record.remote, record.remoteHostName, record.remoteServiceName)};
        appendBytes(row, record);
        const QString program = record.programId == 0
            ? record.programName
            : QStringLiteral("%1 (%2)").arg(record.programName).arg(record.programId);
        row << record.closeReason << program;
        table.rows.push_back(std::move(row));
    }
    return table;
}

QByteArray HistoryReport::formatted(const Table &table, Format format)
{
    switch (format) {
    case Format::Json:
        return jsonLines(table.columns, table.rows);
    case Format::Csv:
        return csvTable(table.columns, table.rows);
    case Format::Text:
        break;
    }
    return textTable(table.columns, table.rows);
}

QString HistoryReport::shown(const QVariant &value, Kind kind)
{
    switch (kind) {
    case Kind::Bytes:
        return stringWithByteSize(value.toULongLong());
    case Kind::Time:
        return Clock::dateTimeFromReference(value.toDouble()).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Kind::Count:
    case Kind::Text:
        break;
    }
    return printableText(value.toString());
}

QByteArray HistoryReport::groups(const std::vector<HistoryQuery::Group> &groups, HistoryQuery::Grouping grouping,
                                 Format format)
{
    return formatted(groupTable(groups, grouping), format);
}

QByteArray HistoryReport::streams(const std::vector<HistoryRecord> &streams, Format format)
{
    return formatted(streamTable(streams), format);
}
