// SPDX-License-Identifier: MIT
#include "headless/StreamTableText.h"

#include "model/PrintableText.h"
#include "model/Stream.h"
#include "model/ValueText.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {

constexpr std::array kTableKeys{Stream::Key::Source,
                                Stream::Key::Destination,
                                Stream::Key::Protocol,
                                Stream::Key::UpSpeedNumber,
                                Stream::Key::DownSpeedNumber,
                                Stream::Key::LifetimeUpDataBytes,
                                Stream::Key::LifetimeDownDataBytes,
                                Stream::Key::Process};

constexpr std::array kJsonNumberKeys{Stream::Key::TotalUpBytes,          Stream::Key::TotalDownBytes,
                                     Stream::Key::LifetimeUpBytes,       Stream::Key::LifetimeDownBytes,
                                     Stream::Key::LifetimeUpDataBytes,   Stream::Key::LifetimeDownDataBytes,
                                     Stream::Key::UpSpeedNumber,         Stream::Key::DownSpeedNumber,
                                     Stream::Key::LifetimeUpSpeedNumber, Stream::Key::LifetimeDownSpeedNumber};

// Local time with its offset written out, as ISO 8601 readers expect.
QString isoText(const QDateTime &time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
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

QString StreamTableText::headerLine()
{
    QStringList names;
    for (const Stream::Key key : kTableKeys)
        names << Stream::keyName(key);
    return names.join(u'\t');
}

QString StreamTableText::tableLine(const Stream &stream)
{
    QStringList fields;
    for (const Stream::Key key : kTableKeys)
        fields << printableText(textOfValue(stream.value(key)));
    return fields.join(u'\t');
}

QString StreamTableText::foldedLine(quint64 foldedRecords)
{
    return QCoreApplication::translate("StreamTableText",
                                       "# %1 records of new conversations were counted in the Other stream: the "
                                       "capture holds as many live streams as it may.")
        .arg(foldedRecords);
}

QByteArray StreamTableText::jsonLine(const Stream &stream, const QString &interfaceName, const QDateTime &time,
                                     quint64 foldedRecords)
{
    QJsonObject object{
        {QStringLiteral("interface"), interfaceName},
        {QStringLiteral("time"), isoText(time)},
        {QStringLiteral("source"), printableText(stream.source())},
        {QStringLiteral("destination"), printableText(stream.destination())},
        {QStringLiteral("protocol"), printableText(stream.protocol())},
        {QStringLiteral("process"), printableText(stream.process())},
        {QStringLiteral("openedTime"), isoText(Clock::dateTimeFromReference(stream.openedTime()))},
    };
    for (const Stream::Key key : kJsonNumberKeys)
        object.insert(Stream::keyName(key), stream.value(key).toDouble());
    object.insert(QStringLiteral("foldedRecords"), static_cast<double>(foldedRecords));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
