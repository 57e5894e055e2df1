// SPDX-License-Identifier: MIT
#include "model/Stream.h"

#include "model/ByteSize.h"
#include "model/SearchWords.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"
#include "resolve/DNSAsyncLookup.h"
#include "resolve/EtcServicesDictionary.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>

namespace {

struct KeyEntry
{
    QLatin1StringView name;
    Stream::Key key;
};

// Sorted by name for binary search; a test checks that every key is found by its name.
constexpr std::array<KeyEntry, Stream::kKeyCount> kKeysByName{{
    {QLatin1StringView("closeReason"), Stream::Key::CloseReason},
    {QLatin1StringView("dateTime"), Stream::Key::DateTime},
    {QLatin1StringView("destination"), Stream::Key::Destination},
    {QLatin1StringView("downSpeed"), Stream::Key::DownSpeed},
    {QLatin1StringView("downSpeedNumber"), Stream::Key::DownSpeedNumber},
    {QLatin1StringView("lastUpdateTime"), Stream::Key::LastUpdateTime},
    {QLatin1StringView("lifetimeDownBytes"), Stream::Key::LifetimeDownBytes},
    {QLatin1StringView("lifetimeDownDataBytes"), Stream::Key::LifetimeDownDataBytes},
    {QLatin1StringView("lifetimeDownDataBytesFormatted"), Stream::Key::LifetimeDownDataBytesFormatted},
    {QLatin1StringView("lifetimeDownSpeed"), Stream::Key::LifetimeDownSpeed},
    {QLatin1StringView("lifetimeDownSpeedNumber"), Stream::Key::LifetimeDownSpeedNumber},
    {QLatin1StringView("lifetimeUpBytes"), Stream::Key::LifetimeUpBytes},
    {QLatin1StringView("lifetimeUpDataBytes"), Stream::Key::LifetimeUpDataBytes},
    {QLatin1StringView("lifetimeUpDataBytesFormatted"), Stream::Key::LifetimeUpDataBytesFormatted},
    {QLatin1StringView("lifetimeUpSpeed"), Stream::Key::LifetimeUpSpeed},
    {QLatin1StringView("lifetimeUpSpeedNumber"), Stream::Key::LifetimeUpSpeedNumber},
    {QLatin1StringView("openedTime"), Stream::Key::OpenedTime},
    {QLatin1StringView("process"), Stream::Key::Process},
    {QLatin1StringView("protocol"), Stream::Key::Protocol},
    {QLatin1StringView("source"), Stream::Key::Source},
    {QLatin1StringView("startTime"), Stream::Key::StartTime},
    {QLatin1StringView("totalDownBytes"), Stream::Key::TotalDownBytes},
    {QLatin1StringView("totalUpBytes"), Stream::Key::TotalUpBytes},
    {QLatin1StringView("unixTime"), Stream::Key::UnixTime},
    {QLatin1StringView("upSpeed"), Stream::Key::UpSpeed},
    {QLatin1StringView("upSpeedNumber"), Stream::Key::UpSpeedNumber},
}};

// Bytes over the seconds since `since`. No time passed (or a clock set back) measures
// nothing, so it reads 0 rather than infinity or NaN in a log line or cell.
double bytesPerSecond(quint64 bytes, double since)
{
    const double elapsed = Clock::now() - since;
    return elapsed > 0.0 ? static_cast<double>(bytes) / elapsed : 0.0;
}

// "%.1fk/sec" with printf's rounding (ties to even: 0.25 reads 0.2), like the rest of the
// system's numeric texts, but always with a point: printf follows the numeric locale that
// QCoreApplication takes from the user, while std::to_chars writes the C locale's form.
QString kilobytesPerSecondText(double bytesPerSecond)
{
    // Room for the whole digits of the largest double.
    std::array<char, 320> text{};
    const auto result
        = std::to_chars(text.data(), text.data() + text.size(), bytesPerSecond / 1024.0, std::chars_format::fixed, 1);
    return QString::fromLatin1(text.data(), result.ptr - text.data()) + QLatin1StringView("k/sec");
}

quint64 nextSerial()
{
    static std::atomic<quint64> serials{0};
    return serials.fetch_add(1, std::memory_order_relaxed) + 1;
}

} // namespace

std::shared_ptr<Stream> Stream::streamWithSource(const EndpointText &source, const EndpointText &destination,
                                                 const QString &protocol)
{
    return streamWithSource(source, destination, protocol, true);
}

std::shared_ptr<Stream> Stream::streamWithSource(const EndpointText &source, const EndpointText &destination,
                                                 const QString &protocol, bool performLookup)
{
    auto stream = std::make_shared<Stream>(source, destination, protocol);
    if (performLookup)
        stream->lookUpNames(stream);
    return stream;
}

Stream::Stream(const EndpointText &source, const EndpointText &destination, const QString &protocol)
    : m_serial(nextSerial())
    , m_source(source)
    , m_destination(destination)
    , m_protocol(protocol)
    , m_openedTime(Clock::now())
    , m_startTime(m_openedTime)
{
}

// The lookup service starts with the first stream that could ask, whatever the host-name
// switch says, so switching it on later finds the workers running.
void Stream::lookUpNames(const std::shared_ptr<Stream> &self)
{
    DNSAsyncLookup::sharedLookup();
    for (EndpointText Stream::*side : {&Stream::m_source, &Stream::m_destination}) {
        lookUpServiceName(side);
        lookUpHostName(self, side);
    }
}

// The services table is built on its first use, so it is asked outside the endpoint lock.
void Stream::lookUpServiceName(EndpointText Stream::*side)
{
    if (!Preferences::shared().boolValue(Preferences::LookupServiceNames))
        return;
    const std::optional<StreamEndpoint> endpoint = endpointOf(side);
    if (!endpoint)
        return;
    const QString service = EtcServicesDictionary::sharedDictionary().objectForKey(QString::number(endpoint->port)
                                                                                   + u'/' + m_protocol.toLower());
    if (service.isNull())
        return;
    std::lock_guard guard(m_endpointMutex);
    (this->*side).setServiceName(service);
}

// A known answer is delivered inside lookupAddress, so the endpoint lock must be free by then.
void Stream::lookUpHostName(const std::shared_ptr<Stream> &self, EndpointText Stream::*side)
{
    if (!Preferences::shared().boolValue(Preferences::LookupHostnames))
        return;
    if (const std::optional<StreamEndpoint> endpoint = endpointOf(side))
        DNSAsyncLookup::sharedLookup().lookupAddress(endpoint->addressText(), self, QVariant());
}

std::optional<StreamEndpoint> Stream::endpointOf(EndpointText Stream::*side) const
{
    std::lock_guard guard(m_endpointMutex);
    return (this->*side).endpoint();
}

// An empty name is treated like no name: it would leave the endpoint as ":port".
void Stream::dnsGotName(const QString &name, const QString &address, const QVariant &)
{
    if (name.isEmpty())
        return;
    if (const std::optional<StreamEndpoint> answered = StreamEndpoint::fromAddressText(address, 0)) {
        std::lock_guard guard(m_endpointMutex);
        for (EndpointText *side : {&m_source, &m_destination}) {
            if (side->awaitsHostName(*answered)) {
                side->setHostName(name);
                return;
            }
        }
    }
    systemLog(QStringLiteral("%1: unknown address %2").arg(QLatin1StringView(Q_FUNC_INFO), address));
}

std::shared_ptr<Stream> Stream::copy() const
{
    std::unique_lock guard(m_endpointMutex);
    auto snapshot = std::make_shared<Stream>(m_source, m_destination, m_protocol);
    snapshot->m_process = m_process;
    guard.unlock();
    copyTimesAndCountersInto(*snapshot);
    return snapshot;
}

// The protocol is the stream's for life, so an earlier snapshot already has it.
void Stream::copyInto(Stream &snapshot) const
{
    {
        const std::lock_guard guard(m_endpointMutex);
        snapshot.m_source = m_source;
        snapshot.m_destination = m_destination;
        snapshot.m_process = m_process;
    }
    copyTimesAndCountersInto(snapshot);
}

void Stream::copyTimesAndCountersInto(Stream &snapshot) const
{
    snapshot.m_closeReason = m_closeReason;
    snapshot.m_serial = m_serial;
    snapshot.m_openedTime = m_openedTime;
    snapshot.m_startTime = m_startTime;
    snapshot.m_totalUpBytes = m_totalUpBytes;
    snapshot.m_totalDownBytes = m_totalDownBytes;
    snapshot.m_lifetimeUpDataBytes = m_lifetimeUpDataBytes;
    snapshot.m_lifetimeDownDataBytes = m_lifetimeDownDataBytes;
    snapshot.m_lifetimeUpBytes = m_lifetimeUpBytes;
    snapshot.m_lifetimeDownBytes = m_lifetimeDownBytes;
}

void Stream::resetTime()
{
    resetTime(Clock::now());
}

void Stream::resetTime(double now)
{
    m_startTime = now;
    m_totalUpBytes = 0;
    m_totalDownBytes = 0;
}

void Stream::addUpBytes(quint32 bytes)
{
    addUpBytes(bytes, Clock::now());
}

void Stream::addDownBytes(quint32 bytes)
{
    addDownBytes(bytes, Clock::now());
}

void Stream::addUpBytes(quint32 bytes, double now)
{
    m_totalUpBytes += bytes;
    m_lifetimeUpBytes += bytes;
    m_lastUpdateTime = now;
}

void Stream::addDownBytes(quint32 bytes, double now)
{
    m_totalDownBytes += bytes;
    m_lifetimeDownBytes += bytes;
    m_lastUpdateTime = now;
}

void Stream::addUpDataBytes(quint32 bytes)
{
    m_lifetimeUpDataBytes += bytes;
}

void Stream::addDownDataBytes(quint32 bytes)
{
    m_lifetimeDownDataBytes += bytes;
}

bool Stream::matchesRawFilter(QStringView word) const
{
    if (word.isEmpty())
        return true;
    {
        std::lock_guard guard(m_endpointMutex);
        if (SearchWords::contains(m_source.text(), word) || SearchWords::contains(m_destination.text(), word)
            || SearchWords::contains(m_process, word))
            return true;
    }
    return SearchWords::contains(m_protocol, word);
}

bool Stream::matchesFilter(QStringView word) const
{
    return SearchWords::matchesWord(word, [this](QStringView found) { return matchesRawFilter(found); });
}

QString Stream::source() const
{
    std::lock_guard guard(m_endpointMutex);
    return m_source.text();
}

QString Stream::destination() const
{
    std::lock_guard guard(m_endpointMutex);
    return m_destination.text();
}

EndpointText Stream::sourceSide() const
{
    std::lock_guard guard(m_endpointMutex);
    return m_source;
}

EndpointText Stream::destinationSide() const
{
    std::lock_guard guard(m_endpointMutex);
    return m_destination;
}

QString Stream::process() const
{
    std::lock_guard guard(m_endpointMutex);
    return m_process;
}

void Stream::setProcess(const QString &process)
{
    std::lock_guard guard(m_endpointMutex);
    m_process = process;
}

QString Stream::lifetimeUpDataBytesFormatted() const
{
    return stringWithByteSize(m_lifetimeUpDataBytes);
}

QString Stream::lifetimeDownDataBytesFormatted() const
{
    return stringWithByteSize(m_lifetimeDownDataBytes);
}

double Stream::upSpeedNumber() const
{
    return bytesPerSecond(m_totalUpBytes, m_startTime);
}

double Stream::downSpeedNumber() const
{
    return bytesPerSecond(m_totalDownBytes, m_startTime);
}

double Stream::lifetimeUpSpeedNumber() const
{
    return bytesPerSecond(m_lifetimeUpBytes, m_openedTime);
}

double Stream::lifetimeDownSpeedNumber() const
{
    return bytesPerSecond(m_lifetimeDownBytes, m_openedTime);
}

QString Stream::upSpeed() const
{
    return kilobytesPerSecondText(upSpeedNumber());
}

QString Stream::downSpeed() const
{
    return kilobytesPerSecondText(downSpeedNumber());
}

QString Stream::lifetimeUpSpeed() const
{
    return kilobytesPerSecondText(lifetimeUpSpeedNumber());
}

QString Stream::lifetimeDownSpeed() const
{
    return kilobytesPerSecondText(lifetimeDownSpeedNumber());
}

QDateTime Stream::dateTime()
{
    // In UTC: a local-time date would work out its zone offset on creation, and the text form
    // converts to local time anyway.
    return Clock::dateTimeFromReference(Clock::now(), Qt::UTC);
}

// Truncated toward zero; a clock set before 1970 reads 0 instead of an undefined conversion.
quint64 Stream::unixTime()
{
    const double unixSeconds = Clock::unixTimeFromReference(Clock::now());
    return unixSeconds > 0.0 ? static_cast<quint64>(unixSeconds) : 0;
}

QVariant Stream::valueForKey(const QString &key) const
{
    const std::optional<Key> known = keyNamed(key);
    return known ? value(*known) : QVariant();
}

std::optional<Stream::Key> Stream::keyNamed(QStringView name)
{
    const auto found
        = std::lower_bound(kKeysByName.begin(), kKeysByName.end(), name, [](const KeyEntry &entry, QStringView wanted) {
              return QStringView(wanted).compare(entry.name) > 0;
          });
    if (found == kKeysByName.end() || QStringView(name).compare(found->name) != 0)
        return std::nullopt;
    return found->key;
}

QLatin1StringView Stream::keyName(Key key)
{
    const auto found = std::find_if(kKeysByName.begin(), kKeysByName.end(),
                                    [key](const KeyEntry &entry) { return entry.key == key; });
    return found->name;
}

QVariant Stream::value(Key key) const
{
    switch (key) {
    case Key::Source:
        return source();
    case Key::Destination:
        return destination();
    case Key::Protocol:
        return m_protocol;
    case Key::OpenedTime:
        return m_openedTime;
    case Key::LastUpdateTime:
        return m_lastUpdateTime;
    case Key::StartTime:
        return m_startTime;
    case Key::TotalUpBytes:
        return QVariant::fromValue(m_totalUpBytes);
    case Key::TotalDownBytes:
        return QVariant::fromValue(m_totalDownBytes);
    case Key::LifetimeUpBytes:
        return QVariant::fromValue(m_lifetimeUpBytes);
    case Key::LifetimeDownBytes:
        return QVariant::fromValue(m_lifetimeDownBytes);
    case Key::LifetimeUpDataBytes:
        return QVariant::fromValue(m_lifetimeUpDataBytes);
    case Key::LifetimeDownDataBytes:
        return QVariant::fromValue(m_lifetimeDownDataBytes);
    case Key::LifetimeUpDataBytesFormatted:
        return lifetimeUpDataBytesFormatted();
    case Key::LifetimeDownDataBytesFormatted:
        return lifetimeDownDataBytesFormatted();
    case Key::UpSpeed:
        return upSpeed();
    case Key::DownSpeed:
        return downSpeed();
    case Key::UpSpeedNumber:
        return upSpeedNumber();
    case Key::DownSpeedNumber:
        return downSpeedNumber();
    case Key::LifetimeUpSpeed:
        return lifetimeUpSpeed();
    case Key::LifetimeDownSpeed:
        return lifetimeDownSpeed();
    case Key::LifetimeUpSpeedNumber:
        return lifetimeUpSpeedNumber();
    case Key::LifetimeDownSpeedNumber:
        return lifetimeDownSpeedNumber();
    case Key::DateTime:
        return dateTime();
    case Key::UnixTime:
        return QVariant::fromValue(unixTime());
    case Key::Process:
        return process();
    case Key::CloseReason:
        return closeReason();
    }
    return {};
}
