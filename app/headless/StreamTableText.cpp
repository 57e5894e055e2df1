// SPDX-License-Identifier: MIT
#include "headless/StreamTableText.h"

#include "model/ByteSize.h"
#include "model/ByteSpeedFormatter.h"
#include "model/PrintableText.h"
#include "model/Stream.h"
#include "model/StreamGroup.h"
#include "model/ValueText.h"
#include "platform/Clock.h"
#include "platform/TerminalSize.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {

struct TextColumn
{
    Stream::Key key;
    const char *title;
};

constexpr std::array<TextColumn, 8> kTextColumns{{
    {Stream::Key::Source, QT_TRANSLATE_NOOP("StreamTableText", "Source")},
    {Stream::Key::Destination, QT_TRANSLATE_NOOP("StreamTableText", "Destination")},
    {Stream::Key::Protocol, QT_TRANSLATE_NOOP("StreamTableText", "Protocol")},
    {Stream::Key::UpSpeedNumber, QT_TRANSLATE_NOOP("StreamTableText", "Up")},
    {Stream::Key::DownSpeedNumber, QT_TRANSLATE_NOOP("StreamTableText", "Down")},
    {Stream::Key::LifetimeUpDataBytes, QT_TRANSLATE_NOOP("StreamTableText", "Payload Up")},
    {Stream::Key::LifetimeDownDataBytes, QT_TRANSLATE_NOOP("StreamTableText", "Payload Down")},
    {Stream::Key::Process, QT_TRANSLATE_NOOP("StreamTableText", "Process")},
}};

bool isSpeed(Stream::Key key)
{
    return key == Stream::Key::UpSpeedNumber || key == Stream::Key::DownSpeedNumber;
}

bool isByteCount(Stream::Key key)
{
    return key == Stream::Key::LifetimeUpDataBytes || key == Stream::Key::LifetimeDownDataBytes;
}

// A stream's value or a group's sum; a group answers no text key, so its texts are empty.
QString cellText(Stream::Key key, const QVariant &value)
{
    if (isSpeed(key))
        return ByteSpeedFormatter::stringForBytesPerSecond(value.toDouble(), QLocale());
    if (isByteCount(key))
        return stringWithByteSize(value.toULongLong(), QLocale());
    return printableText(textOfValue(value));
}

using TextRow = std::array<QString, kTextColumns.size()>;

// A line under the titles, and whether it is a stream's (the others are groups').
struct BodyRow
{
    TextRow cells;
    bool isStream = true;
};

BodyRow streamRow(const Stream &stream, const QString &indent = {})
{
    BodyRow row;
    for (std::size_t column = 0; column < kTextColumns.size(); ++column)
        row.cells[column] = cellText(kTextColumns[column].key, stream.value(kTextColumns[column].key));
    row.cells[0].prepend(indent);
    return row;
}

BodyRow groupRow(const StreamGroup &group)
{
    BodyRow row{{}, false};
    for (std::size_t column = 0; column < kTextColumns.size(); ++column)
        row.cells[column] = cellText(kTextColumns[column].key, group.value(kTextColumns[column].key));
    row.cells[0] = printableText(group.label());
    return row;
}

// Texts to the left, figures to the right, two spaces between; the last column is not padded.
QString alignedLine(const TextRow &row, const std::array<qsizetype, kTextColumns.size()> &widths)
{
    QString line;
    for (std::size_t column = 0; column < row.size(); ++column) {
        if (column > 0)
            line += QLatin1StringView("  ");
        const Stream::Key key = kTextColumns[column].key;
        if (isSpeed(key) || isByteCount(key))
            line += row[column].rightJustified(widths[column]);
        else if (column + 1 < row.size())
            line += row[column].leftJustified(widths[column]);
        else
            line += row[column];
    }
    return line;
}

QString totalsLine(const std::vector<std::shared_ptr<Stream>> &streams, const QString &interfaceName,
                   const QDateTime &time)
{
    double upSpeed = 0.0;
    double downSpeed = 0.0;
    quint64 upBytes = 0;
    quint64 downBytes = 0;
    for (const auto &stream : streams) {
        upSpeed += stream->upSpeedNumber();
        downSpeed += stream->downSpeedNumber();
        upBytes += stream->totalUpBytes();
        downBytes += stream->totalDownBytes();
    }
    const QLocale locale;
    return StreamTableText::tr("%1  %2  Streams: %3  Up %4 (%5 this interval)  Down %6 (%7 this interval)")
        .arg(time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), printableText(interfaceName),
             locale.toString(static_cast<qulonglong>(streams.size())),
             ByteSpeedFormatter::stringForBytesPerSecond(upSpeed, locale), stringWithByteSize(upBytes, locale),
             ByteSpeedFormatter::stringForBytesPerSecond(downSpeed, locale), stringWithByteSize(downBytes, locale));
}

// The streams that fit the terminal's rows beside the other lines of the block, one row
// kept for the line that counts the rest and the last for the cursor (a line written there
// would scroll the first away); all of them when the rows are not known.
std::size_t streamsShown(std::size_t streams, std::size_t otherLines, const std::optional<int> &rows)
{
    const auto room = static_cast<std::size_t>(std::max(rows.value_or(0) - 1, 0));
    if (!rows || streams + otherLines <= room)
        return streams;
    return room > otherLines + 1 ? room - otherLines - 1 : 0;
}

// The time line, the titles and the rows in aligned columns, cut to the terminal; the rows
// that do not fit are counted by the streams among them.
QString composedBlock(const std::vector<std::shared_ptr<Stream>> &streams, const std::vector<BodyRow> &body,
                      const QString &interfaceName, const QDateTime &time, quint64 foldedRecords,
                      const TerminalSize &size)
{
    QStringList lines{totalsLine(streams, interfaceName, time)};
    if (foldedRecords > 0)
        lines << StreamTableText::foldedLine(foldedRecords);
    const std::size_t shown = streamsShown(body.size(), static_cast<std::size_t>(lines.size()) + 1, size.rows);
    std::vector<TextRow> rows(1);
    for (std::size_t column = 0; column < kTextColumns.size(); ++column)
        rows[0][column] = StreamTableText::tr(kTextColumns[column].title);
    for (std::size_t row = 0; row < shown; ++row)
        rows.push_back(body[row].cells);
    std::array<qsizetype, kTextColumns.size()> widths{};
    for (const TextRow &row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    }
    for (const TextRow &row : rows)
        lines << alignedLine(row, widths);
    const auto hidden = std::count_if(body.begin() + static_cast<std::ptrdiff_t>(shown), body.end(),
                                      [](const BodyRow &row) { return row.isStream; });
    if (shown < body.size())
        lines << StreamTableText::tr("... %1 more of %2 streams").arg(hidden).arg(streams.size());
    QString block;
    for (const QString &line : lines)
        block += (size.columns ? line.left(*size.columns) : line) + u'\n';
    return block;
}

constexpr std::array kJsonNumberKeys{Stream::Key::TotalUpBytes,          Stream::Key::TotalDownBytes,
                                     Stream::Key::LifetimeUpBytes,       Stream::Key::LifetimeDownBytes,
                                     Stream::Key::LifetimeUpDataBytes,   Stream::Key::LifetimeDownDataBytes,
                                     Stream::Key::UpSpeedNumber,         Stream::Key::DownSpeedNumber,
                                     Stream::Key::LifetimeUpSpeedNumber, Stream::Key::LifetimeDownSpeedNumber};

// "sourceAddress": "10.0.0.1", "sourcePort": 80 as the numbers were seen, whatever names the
// text shows.
void insertEndpoint(QJsonObject &object, const QString &side, const std::optional<StreamEndpoint> &endpoint)
{
    object.insert(side + QLatin1StringView("Address"), endpoint ? QJsonValue(endpoint->addressText()) : QJsonValue());
    object.insert(side + QLatin1StringView("Port"),
                  endpoint ? QJsonValue(static_cast<int>(endpoint->port)) : QJsonValue());
}

QJsonObject streamObject(const Stream &stream, const QString &interfaceName, const QDateTime &time,
                         quint64 foldedRecords)
{
    QJsonObject object{
        {QStringLiteral("interface"), interfaceName},
        {QStringLiteral("time"), isoDateTimeText(time)},
        {QStringLiteral("source"), printableText(stream.source())},
        {QStringLiteral("destination"), printableText(stream.destination())},
        {QStringLiteral("protocol"), printableText(stream.protocol())},
        {QStringLiteral("process"), printableText(stream.process())},
        {QStringLiteral("openedTime"), isoDateTimeText(Clock::dateTimeFromReference(stream.openedTime()))},
    };
    insertEndpoint(object, QStringLiteral("source"), stream.sourceSide().endpoint());
    insertEndpoint(object, QStringLiteral("destination"), stream.destinationSide().endpoint());
    for (const Stream::Key key : kJsonNumberKeys)
        object.insert(Stream::keyName(key), stream.value(key).toDouble());
    object.insert(QStringLiteral("foldedRecords"), static_cast<double>(foldedRecords));
    return object;
}

} // namespace

std::vector<std::shared_ptr<Stream>> StreamTableText::bySpeed(const std::vector<std::shared_ptr<Stream>> &streams)
{
    std::vector<std::pair<double, std::shared_ptr<Stream>>> measured;
    measured.reserve(streams.size());
    for (const auto &stream : streams)
        measured.emplace_back(stream->upSpeedNumber() + stream->downSpeedNumber(), stream);
    std::stable_sort(measured.begin(), measured.end(),
                     [](const auto &left, const auto &right) { return left.first > right.first; });
    std::vector<std::shared_ptr<Stream>> sorted;
    sorted.reserve(measured.size());
    for (auto &[speed, stream] : measured)
        sorted.push_back(std::move(stream));
    return sorted;
}

std::vector<StreamGroup> StreamTableText::bySpeed(std::vector<StreamGroup> groups)
{
    std::stable_sort(groups.begin(), groups.end(),
                     [](const StreamGroup &left, const StreamGroup &right) { return left.speed() > right.speed(); });
    return groups;
}

QString StreamTableText::textBlock(const std::vector<std::shared_ptr<Stream>> &streams, const QString &interfaceName,
                                   const QDateTime &time, quint64 foldedRecords, const TerminalSize &size)
{
    std::vector<BodyRow> body;
    body.reserve(streams.size());
    for (const auto &stream : streams)
        body.push_back(streamRow(*stream));
    return composedBlock(streams, body, interfaceName, time, foldedRecords, size);
}

QString StreamTableText::groupedTextBlock(const std::vector<StreamGroup> &groups, const QString &interfaceName,
                                          const QDateTime &time, quint64 foldedRecords, const TerminalSize &size)
{
    std::vector<std::shared_ptr<Stream>> streams;
    std::vector<BodyRow> body;
    for (const StreamGroup &group : groups) {
        body.push_back(groupRow(group));
        for (const auto &stream : bySpeed(group.streams())) {
            body.push_back(streamRow(*stream, QStringLiteral("  ")));
            streams.push_back(stream);
        }
    }
    return composedBlock(streams, body, interfaceName, time, foldedRecords, size);
}

QString StreamTableText::foldedLine(quint64 foldedRecords)
{
    return tr("# %1 records of new conversations were counted in the Other stream: the capture holds as many live "
              "streams as it may.")
        .arg(foldedRecords);
}

QByteArray StreamTableText::jsonLine(const Stream &stream, const QString &interfaceName, const QDateTime &time,
                                     quint64 foldedRecords)
{
    return QJsonDocument(streamObject(stream, interfaceName, time, foldedRecords)).toJson(QJsonDocument::Compact);
}

QByteArray StreamTableText::groupJsonLine(const StreamGroup &group, const QString &interfaceName, const QDateTime &time,
                                          quint64 foldedRecords)
{
    QJsonObject object{
        {QStringLiteral("interface"), interfaceName},
        {QStringLiteral("time"), isoDateTimeText(time)},
        {QStringLiteral("groupBy"), QString(StreamGroup::nameOf(group.by()))},
        {QStringLiteral("group"), group.key().isEmpty() ? QJsonValue() : QJsonValue(printableText(group.key()))},
    };
    for (const Stream::Key key : kJsonNumberKeys)
        object.insert(Stream::keyName(key), group.value(key).toDouble());
    QJsonArray streams;
    for (const auto &stream : group.streams())
        streams.append(streamObject(*stream, interfaceName, time, foldedRecords));
    object.insert(QStringLiteral("streams"), streams);
    object.insert(QStringLiteral("foldedRecords"), static_cast<double>(foldedRecords));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
