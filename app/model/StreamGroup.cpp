// SPDX-License-Identifier: MIT
#include "model/StreamGroup.h"

#include "model/ProgramName.h"
#include "model/SearchWords.h"

#include <QHash>

#include <algorithm>

namespace {

constexpr std::array kSpeedKeys{Stream::Key::UpSpeedNumber, Stream::Key::DownSpeedNumber,
                                Stream::Key::LifetimeUpSpeedNumber, Stream::Key::LifetimeDownSpeedNumber};
constexpr std::array kByteKeys{Stream::Key::TotalUpBytes,        Stream::Key::TotalDownBytes,
                               Stream::Key::LifetimeUpBytes,     Stream::Key::LifetimeDownBytes,
                               Stream::Key::LifetimeUpDataBytes, Stream::Key::LifetimeDownDataBytes};

// What add() reads for each of those keys, without a QVariant between: a grouped window
// adds every stream once per cycle.
constexpr std::array<double (Stream::*)() const, kSpeedKeys.size()> kSpeeds{
    &Stream::upSpeedNumber, &Stream::downSpeedNumber, &Stream::lifetimeUpSpeedNumber, &Stream::lifetimeDownSpeedNumber};

using ByteCount = quint64 (*)(const Stream &);
constexpr std::array<ByteCount, kByteKeys.size()> kBytes{
    [](const Stream &stream) -> quint64 { return stream.totalUpBytes(); },
    [](const Stream &stream) -> quint64 { return stream.totalDownBytes(); },
    [](const Stream &stream) { return stream.lifetimeUpBytes(); },
    [](const Stream &stream) { return stream.lifetimeDownBytes(); },
    [](const Stream &stream) { return stream.lifetimeUpDataBytes(); },
    [](const Stream &stream) { return stream.lifetimeDownDataBytes(); },
};

template <typename Keys> std::optional<std::size_t> slotOf(const Keys &keys, Stream::Key key)
{
    const auto found = std::find(keys.begin(), keys.end(), key);
    if (found == keys.end())
        return std::nullopt;
    return static_cast<std::size_t>(found - keys.begin());
}

struct ByName
{
    StreamGroup::By by;
    QLatin1StringView name;
};

constexpr std::array<ByName, 3> kByNames{{
    {StreamGroup::By::None, QLatin1StringView("none")},
    {StreamGroup::By::Program, QLatin1StringView("program")},
    {StreamGroup::By::RemoteHost, QLatin1StringView("host")},
}};

} // namespace

std::optional<StreamGroup::By> StreamGroup::byNamed(QStringView name)
{
    for (const ByName &entry : kByNames) {
        if (name == entry.name)
            return entry.by;
    }
    return std::nullopt;
}

QLatin1StringView StreamGroup::nameOf(By by)
{
    return kByNames.at(static_cast<std::size_t>(by)).name;
}

QString StreamGroup::keyOf(const Stream &stream, By by)
{
    switch (by) {
    case By::None:
        return {};
    case By::Program:
        return ProgramName::fromText(stream.process()).name;
    case By::RemoteHost: {
        const EndpointText remote = stream.destinationSide();
        if (!remote.hostName().isEmpty())
            return remote.hostName();
        return remote.endpoint() ? remote.endpoint()->addressText() : remote.text();
    }
    }
    return {};
}

std::vector<StreamGroup> StreamGroup::grouped(std::span<const std::shared_ptr<Stream>> streams, By by)
{
    std::vector<StreamGroup> groups;
    QHash<QString, std::size_t> positions;
    for (const std::shared_ptr<Stream> &stream : streams) {
        const QString key = keyOf(*stream, by);
        auto found = positions.constFind(key);
        if (found == positions.constEnd()) {
            found = positions.insert(key, groups.size());
            groups.emplace_back(by, key);
        }
        groups[*found].add(stream);
    }
    return groups;
}

StreamGroup::StreamGroup(By by, const QString &key)
    : m_by(by)
    , m_key(key)
{
}

void StreamGroup::add(const std::shared_ptr<Stream> &stream)
{
    m_streams.push_back(stream);
    for (std::size_t slot = 0; slot < kSpeeds.size(); ++slot)
        m_speeds[slot] += ((*stream).*kSpeeds[slot])();
    for (std::size_t slot = 0; slot < kBytes.size(); ++slot)
        m_bytes[slot] += kBytes[slot](*stream);
    m_openedTime = std::min(m_openedTime.value_or(stream->openedTime()), stream->openedTime());
}

QString StreamGroup::label() const
{
    if (!m_key.isEmpty())
        return m_key;
    return m_by == By::RemoteHost ? tr("No host") : tr("No program");
}

QVariant StreamGroup::value(Stream::Key key) const
{
    if (const auto slot = slotOf(kSpeedKeys, key))
        return m_speeds[*slot];
    if (const auto slot = slotOf(kByteKeys, key))
        return QVariant::fromValue(m_bytes[*slot]);
    if (key == Stream::Key::OpenedTime && m_openedTime)
        return *m_openedTime;
    return {};
}

double StreamGroup::speed() const
{
    return m_speeds[0] + m_speeds[1];
}

bool StreamGroup::labelContains(QStringView word) const
{
    return SearchWords::contains(label(), word);
}
