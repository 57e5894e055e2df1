// SPDX-License-Identifier: MIT
#include "model/Stream.h"

#include "model/ByteSize.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"
#include "resolve/DNSAsyncLookup.h"
#include "resolve/EtcServicesDictionary.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>

namespace {

struct KeyEntry
{
    QLatin1StringView name;
    Stream::Key key;
};

// Sorted by name for binary search; a test checks that every key is found by its name.
constexpr std::array<KeyEntry, Stream::kKeyCount> kKeysByName{{
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
    const auto result = std::to_chars(text.data(), text.data() + text.size(), bytesPerSecond / 1024.0,
                                      std::chars_format::fixed, 1);
    return QString::fromLatin1(text.data(), result.ptr - text.data()) + QLatin1StringView("k/sec");
}

// An endpoint reads address:port (or a name in either place), an IPv6 address in brackets
// ([2001:db8::1]:443); text without a colon, such as the "Other" stream's, has neither piece.
struct EndpointPieces
{
    QStringView address;
    QStringView port;
    bool bracketed = false;
};

std::optional<EndpointPieces> splitEndpoint(QStringView endpoint)
{
    if (endpoint.startsWith(u'[')) {
        const qsizetype close = endpoint.indexOf(QStringView(u"]:"));
        if (close < 0)
            return std::nullopt;
        return EndpointPieces{endpoint.mid(1, close - 1), endpoint.mid(close + 2), true};
    }
    const qsizetype colon = endpoint.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    QStringView rest = endpoint.mid(colon + 1);
    const qsizetype nextColon = rest.indexOf(u':');
    return EndpointPieces{endpoint.first(colon), nextColon < 0 ? rest : rest.first(nextColon), false};
}

QString joinedEndpoint(const EndpointPieces &pieces, const QString &port)
{
    if (pieces.bracketed)
        return u'[' + pieces.address.toString() + QStringLiteral("]:") + port;
    return pieces.address.toString() + u':' + port;
}

// One piece of an endpoint, copied while its lock is held so the lookup that follows can
// run without it; nothing for a text without a colon.
std::optional<QString> lockedPiece(std::mutex &lock, const QString &endpoint, QStringView EndpointPieces::*piece)
{
    std::lock_guard guard(lock);
    const auto pieces = splitEndpoint(endpoint);
    if (!pieces)
        return std::nullopt;
    return ((*pieces).*piece).toString();
}

// Case-insensitive search as QString's (simple case folding, unit by unit), with a fast
// path for ASCII words, which is what people type into the search field. Filtering runs
// over every stream on every update cycle.
char16_t foldedUnit(char16_t unit)
{
    if (unit < 0x80)
        return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
    return QChar(unit).toCaseFolded().unicode();
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar unit) { return unit.unicode() < 0x80; });
}

bool containsIgnoringCase(QStringView haystack, QStringView word)
{
    if (!isAscii(word))
        return haystack.contains(word, Qt::CaseInsensitive);
    const auto unitsEqual = [](QChar wanted, QChar seen) {
        return foldedUnit(wanted.unicode()) == foldedUnit(seen.unicode());
    };
    return std::search(haystack.begin(), haystack.end(), word.begin(), word.end(), unitsEqual) != haystack.end();
}

// The address piece must match whole: an answer for 10.0.0.2 must not rewrite 10.0.0.25:80.
bool endpointHasAddress(const QString &endpoint, const QString &address)
{
    const auto pieces = splitEndpoint(endpoint);
    return pieces && !address.isEmpty() && pieces->address == address;
}

QString withNewAddress(const QString &endpoint, const QString &name)
{
    return name + endpoint.sliced(endpoint.lastIndexOf(u':'));
}

quint64 nextSerial()
{
    static std::atomic<quint64> serials{0};
    return serials.fetch_add(1, std::memory_order_relaxed) + 1;
}

} // namespace

std::shared_ptr<Stream> Stream::streamWithSource(const QString &source, const QString &destination,
                                                 const QString &protocol)
{
    return streamWithSource(source, destination, protocol, true);
}

std::shared_ptr<Stream> Stream::streamWithSource(const QString &source, const QString &destination,
                                                 const QString &protocol, bool performLookup)
{
    auto stream = std::make_shared<Stream>(source, destination, protocol);
    if (performLookup)
        stream->lookUpNames(stream);
    return stream;
}

Stream::Stream(const QString &source, const QString &destination, const QString &protocol)
    : serial_(nextSerial())
    , source_(source)
    , destination_(destination)
    , protocol_(protocol)
    , openedTime_(Clock::now())
    , startTime_(openedTime_)
{
}

// The lookup service starts with the first stream that could ask, whatever the host-name
// switch says, so switching it on later finds the workers running.
void Stream::lookUpNames(const std::shared_ptr<Stream> &self)
{
    DNSAsyncLookup::sharedLookup();
    for (QString Stream::*endpoint : {&Stream::source_, &Stream::destination_}) {
        lookUpServiceName(endpoint);
        lookUpHostName(self, endpoint);
    }
}

// The services table is built on its first use, so it is asked outside the endpoint lock;
// a host name written in meanwhile changes only the address piece, which is taken afresh.
void Stream::lookUpServiceName(QString Stream::*endpoint)
{
    if (!Preferences::shared().boolValue(Preferences::LookupServiceNames))
        return;
    const std::optional<QString> port = lockedPiece(endpointMutex_, this->*endpoint, &EndpointPieces::port);
    if (!port)
        return;
    const QString service = EtcServicesDictionary::sharedDictionary().objectForKey(*port + u'/' + protocol_.toLower());
    if (service.isNull())
        return;
    std::lock_guard guard(endpointMutex_);
    const auto pieces = splitEndpoint(this->*endpoint);
    if (pieces)
        this->*endpoint = joinedEndpoint(*pieces, service);
}

// A known answer is delivered inside lookupAddress, so the endpoint lock must be free by then.
void Stream::lookUpHostName(const std::shared_ptr<Stream> &self, QString Stream::*endpoint)
{
    if (!Preferences::shared().boolValue(Preferences::LookupHostnames))
        return;
    const std::optional<QString> address = lockedPiece(endpointMutex_, this->*endpoint, &EndpointPieces::address);
    if (address)
        DNSAsyncLookup::sharedLookup().lookupAddress(*address, self, QVariant());
}

// An empty name is treated like no name: it would leave the endpoint as ":port".
void Stream::dnsGotName(const QString &name, const QString &address, const QVariant &)
{
    if (name.isEmpty())
        return;
    {
        std::lock_guard guard(endpointMutex_);
        if (endpointHasAddress(source_, address)) {
            source_ = withNewAddress(source_, name);
            return;
        }
        if (endpointHasAddress(destination_, address)) {
            destination_ = withNewAddress(destination_, name);
            return;
        }
    }
    systemLog(QStringLiteral("%1: unknown address %2").arg(QLatin1StringView(Q_FUNC_INFO), address));
}

std::shared_ptr<Stream> Stream::copy() const
{
    auto snapshot = std::make_shared<Stream>(source(), destination(), protocol_);
    snapshot->serial_ = serial_;
    snapshot->process_ = process();
    snapshot->openedTime_ = openedTime_;
    snapshot->startTime_ = startTime_;
    snapshot->totalUpBytes_ = totalUpBytes_;
    snapshot->totalDownBytes_ = totalDownBytes_;
    snapshot->lifetimeUpDataBytes_ = lifetimeUpDataBytes_;
    snapshot->lifetimeDownDataBytes_ = lifetimeDownDataBytes_;
    snapshot->lifetimeUpBytes_ = lifetimeUpBytes_;
    snapshot->lifetimeDownBytes_ = lifetimeDownBytes_;
    return snapshot;
}

void Stream::resetTime()
{
    resetTime(Clock::now());
}

void Stream::resetTime(double now)
{
    startTime_ = now;
    totalUpBytes_ = 0;
    totalDownBytes_ = 0;
}

void Stream::addUpBytes(quint32 bytes)
{
    totalUpBytes_ += bytes;
    lifetimeUpBytes_ += bytes;
    lastUpdateTime_ = Clock::now();
}

void Stream::addDownBytes(quint32 bytes)
{
    totalDownBytes_ += bytes;
    lifetimeDownBytes_ += bytes;
    lastUpdateTime_ = Clock::now();
}

void Stream::addUpDataBytes(quint32 bytes)
{
    lifetimeUpDataBytes_ += bytes;
}

void Stream::addDownDataBytes(quint32 bytes)
{
    lifetimeDownDataBytes_ += bytes;
}

bool Stream::matchesRawFilter(QStringView word) const
{
    if (word.isEmpty())
        return true;
    {
        std::lock_guard guard(endpointMutex_);
        if (containsIgnoringCase(source_, word) || containsIgnoringCase(destination_, word)
            || containsIgnoringCase(process_, word))
            return true;
    }
    return containsIgnoringCase(protocol_, word);
}

// A lone "-" inverts the match of an empty word, which always matches, so it hides every stream.
bool Stream::matchesFilter(QStringView word) const
{
    if (word.isEmpty())
        return true;
    if (word.front() == u'-')
        return !matchesRawFilter(word.mid(1));
    return matchesRawFilter(word);
}

QString Stream::source() const
{
    std::lock_guard guard(endpointMutex_);
    return source_;
}

QString Stream::destination() const
{
    std::lock_guard guard(endpointMutex_);
    return destination_;
}

QString Stream::process() const
{
    std::lock_guard guard(endpointMutex_);
    return process_;
}

void Stream::setProcess(const QString &process)
{
    std::lock_guard guard(endpointMutex_);
    process_ = process;
}

QString Stream::lifetimeUpDataBytesFormatted() const
{
    return stringWithByteSize(lifetimeUpDataBytes_);
}

QString Stream::lifetimeDownDataBytesFormatted() const
{
    return stringWithByteSize(lifetimeDownDataBytes_);
}

double Stream::upSpeedNumber() const
{
    return bytesPerSecond(totalUpBytes_, startTime_);
}

double Stream::downSpeedNumber() const
{
    return bytesPerSecond(totalDownBytes_, startTime_);
}

double Stream::lifetimeUpSpeedNumber() const
{
    return bytesPerSecond(lifetimeUpBytes_, openedTime_);
}

double Stream::lifetimeDownSpeedNumber() const
{
    return bytesPerSecond(lifetimeDownBytes_, openedTime_);
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
    const double unixSeconds = Clock::unixTimeFromReference(Clock::now());
    // In UTC: a local-time date would work out its zone offset on creation, and the text form
    // converts to local time anyway.
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::floor(unixSeconds * 1000.0)), Qt::UTC);
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
    const auto found = std::lower_bound(kKeysByName.begin(), kKeysByName.end(), name,
                                        [](const KeyEntry &entry, QStringView wanted) {
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
    case Key::Source: return source();
    case Key::Destination: return destination();
    case Key::Protocol: return protocol_;
    case Key::OpenedTime: return openedTime_;
    case Key::LastUpdateTime: return lastUpdateTime_;
    case Key::StartTime: return startTime_;
    case Key::TotalUpBytes: return QVariant::fromValue(totalUpBytes_);
    case Key::TotalDownBytes: return QVariant::fromValue(totalDownBytes_);
    case Key::LifetimeUpBytes: return QVariant::fromValue(lifetimeUpBytes_);
    case Key::LifetimeDownBytes: return QVariant::fromValue(lifetimeDownBytes_);
    case Key::LifetimeUpDataBytes: return QVariant::fromValue(lifetimeUpDataBytes_);
    case Key::LifetimeDownDataBytes: return QVariant::fromValue(lifetimeDownDataBytes_);
    case Key::LifetimeUpDataBytesFormatted: return lifetimeUpDataBytesFormatted();
    case Key::LifetimeDownDataBytesFormatted: return lifetimeDownDataBytesFormatted();
    case Key::UpSpeed: return upSpeed();
    case Key::DownSpeed: return downSpeed();
    case Key::UpSpeedNumber: return upSpeedNumber();
    case Key::DownSpeedNumber: return downSpeedNumber();
    case Key::LifetimeUpSpeed: return lifetimeUpSpeed();
    case Key::LifetimeDownSpeed: return lifetimeDownSpeed();
    case Key::LifetimeUpSpeedNumber: return lifetimeUpSpeedNumber();
    case Key::LifetimeDownSpeedNumber: return lifetimeDownSpeedNumber();
    case Key::DateTime: return dateTime();
    case Key::UnixTime: return QVariant::fromValue(unixTime());
    case Key::Process: return process();
    }
    return {};
}
