// SPDX-License-Identifier: MIT
#include "headless/HistoryReport.h"

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

// A table of named columns; each value keeps its kind, so every format shows it its way.
enum class Kind { Text, Count, Bytes, Time };
struct Column
{
    QString name;
    Kind kind;
};
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

QString shown(const QVariant &value, Kind kind)
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

// Texts to the left of their column, numbers to the right; the last column is not padded.
QByteArray textTable(const std::vector<Column> &columns, const std::vector<Row> &rows)
{
    std::vector<QStringList> cells(1);
    for (const Column &column : columns)
        cells.front() << column.name;
    for (const Row &row : rows) {
        cells.emplace_back();
        for (std::size_t index = 0; index < columns.size(); ++index)
            cells.back() << shown(row.at(qsizetype(index)), columns[index].kind);
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

QByteArray formatted(const std::vector<Column> &columns, const std::vector<Row> &rows, HistoryCommand::Format format)
{
    switch (format) {
    case HistoryCommand::Format::Json:
        return jsonLines(columns, rows);
    case HistoryCommand::Format::Csv:
        return csvTable(columns, rows);
    case HistoryCommand::Format::Text:
        break;
    }
    return textTable(columns, rows);
}

const std::vector<Column> kByteColumns{{QStringLiteral("lifetimeUpBytes"), Kind::Bytes},
                                       {QStringLiteral("lifetimeDownBytes"), Kind::Bytes},
                                       {QStringLiteral("lifetimeUpDataBytes"), Kind::Bytes},
                                       {QStringLiteral("lifetimeDownDataBytes"), Kind::Bytes}};

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
        columns = {{QStringLiteral("host"), Kind::Text}, {QStringLiteral("address"), Kind::Text}};
        break;
    case HistoryQuery::Grouping::Program:
        columns = {{QStringLiteral("process"), Kind::Text}};
        break;
    case HistoryQuery::Grouping::Service:
        columns = {{QStringLiteral("service"), Kind::Text},
                   {QStringLiteral("protocol"), Kind::Text},
                   {QStringLiteral("port"), Kind::Count}};
        break;
    }
    columns.push_back({QStringLiteral("streams"), Kind::Count});
    columns.insert(columns.end(), kByteColumns.begin(), kByteColumns.end());
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

QByteArray HistoryReport::groups(const std::vector<HistoryQuery::Group> &groups, HistoryQuery::Grouping grouping,
                                 HistoryCommand::Format format)
{
    std::vector<Row> rows;
    for (const HistoryQuery::Group &group : groups)
        rows.push_back(groupRow(group));
    return formatted(groupColumns(grouping), rows, format);
}

// "time" is when the stream was last seen, as a window-less line's is when it was printed.
QByteArray HistoryReport::streams(const std::vector<HistoryRecord> &streams, HistoryCommand::Format format)
{
    std::vector<Column> columns{
        {QStringLiteral("openedTime"), Kind::Time}, {QStringLiteral("time"), Kind::Time},
        {QStringLiteral("interface"), Kind::Text},  {QStringLiteral("protocol"), Kind::Text},
        {QStringLiteral("source"), Kind::Text},     {QStringLiteral("destination"), Kind::Text}};
    columns.insert(columns.end(), kByteColumns.begin(), kByteColumns.end());
    columns.insert(columns.end(),
                   {{QStringLiteral("closeReason"), Kind::Text}, {QStringLiteral("process"), Kind::Text}});
    std::vector<Row> rows;
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
        rows.push_back(std::move(row));
    }
    return formatted(columns, rows, format);
}
