// SPDX-License-Identifier: MIT
#pragma once

#include "model/EndpointText.h"
#include "resolve/DNSAsyncLookupClient.h"

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <memory>
#include <mutex>
#include <optional>

// One conversation seen on the monitored interface: two endpoints and a protocol, byte
// counters in each direction and three times, with the speeds and texts derived from them.
// Each endpoint keeps its address and port as numbers beside the text people read, which
// service and host names rewrite (EndpointText).
//
// Threads: a live stream is created, counted, copied and reset under its capture's lock.
// Host-name answers arrive on the main thread without that lock, so the two endpoints have
// a small lock of their own; the stream never calls out while holding it. Copies are read
// on the main thread only.
class Stream final : public DNSAsyncLookupClient
{
public:
    // Every value that logs, table columns and copied rows read by name.
    enum class Key {
        Source,
        Destination,
        Protocol,
        OpenedTime,
        LastUpdateTime,
        StartTime,
        TotalUpBytes,
        TotalDownBytes,
        LifetimeUpBytes,
        LifetimeDownBytes,
        LifetimeUpDataBytes,
        LifetimeDownDataBytes,
        LifetimeUpDataBytesFormatted,
        LifetimeDownDataBytesFormatted,
        UpSpeed,
        DownSpeed,
        UpSpeedNumber,
        DownSpeedNumber,
        LifetimeUpSpeed,
        LifetimeDownSpeed,
        LifetimeUpSpeedNumber,
        LifetimeDownSpeedNumber,
        DateTime,
        UnixTime,
        Process,
        CloseReason,
    };
    static constexpr int kKeyCount = static_cast<int>(Key::CloseReason) + 1;

    // A live stream with lookups on: service names from the services table and host names
    // from the reverse-lookup service, as the preferences ask. A known host name may already
    // be written in when this returns. The lookup service shares ownership of the stream
    // until its answers are delivered.
    static std::shared_ptr<Stream> streamWithSource(const EndpointText &source, const EndpointText &destination,
                                                    const QString &protocol);
    // With performLookup false the stream only stores the endpoints and times.
    static std::shared_ptr<Stream> streamWithSource(const EndpointText &source, const EndpointText &destination,
                                                    const QString &protocol, bool performLookup);

    // A stream without lookups (they need shared ownership: use streamWithSource for them).
    Stream(const EndpointText &source, const EndpointText &destination, const QString &protocol);

    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;
    ~Stream() override = default;

    // The snapshot the update cycle shows: same texts, times and counters, but
    // lastUpdateTime 0 and no lookups; later answers rewrite only the live stream.
    std::shared_ptr<Stream> copy() const;
    // The same snapshot written over an earlier snapshot of this stream that nobody else holds
    // any more: an update cycle of many streams then allocates nothing.
    void copyInto(Stream &snapshot) const;

    // Starts a new measuring interval: the interval counters go to 0, lifetime ones stay.
    void resetTime();
    // The same with the clock already read, as an update cycle does once for all streams.
    void resetTime(double now);

    // Whole-packet bytes of one packet (interval counters wrap at 2^32, lifetime at 2^64).
    void addUpBytes(quint32 bytes);
    void addDownBytes(quint32 bytes);
    // The same with the clock already read, as the reader does once for a batch of records.
    void addUpBytes(quint32 bytes, double now);
    void addDownBytes(quint32 bytes, double now);
    // Payload bytes of one packet; no time is touched.
    void addUpDataBytes(quint32 bytes);
    void addDownDataBytes(quint32 bytes);

    // One word of the search text (SearchWords). Raw: empty, or found case-insensitively in
    // source, destination, protocol or the program. Filter: a leading "-" inverts the raw
    // match of the rest.
    bool matchesRawFilter(QStringView word) const;
    bool matchesFilter(QStringView word) const;

    // Answer of the reverse-lookup service: names the endpoint that has the address and no
    // host name yet, source first. A null or empty name leaves the stream as it is.
    void dnsGotName(const QString &name, const QString &address, const QVariant &userInfo) override;

    // A number of its own for every stream made, kept by its copies: the endpoint texts change
    // when names arrive, so a window follows a stream across cycles by this number.
    quint64 serial() const { return m_serial; }

    // The endpoints' texts as shown.
    QString source() const;
    QString destination() const;
    // The endpoints with their numbers and names.
    EndpointText sourceSide() const;
    EndpointText destinationSide() const;
    // The program that owns the conversation on this machine ("firefox (4242)"), empty when
    // none is known. Told once, when the stream is first seen; copies keep it.
    QString process() const;
    void setProcess(const QString &process);
    // Why the stream ended: "idle", "closed" (FIN both ways) or "reset" (RST); empty while it
    // lives. Set under the capture's lock before its closed-stream line; copies keep it, so
    // a window can show an ended stream as such for the one cycle it stays.
    const QString &closeReason() const { return m_closeReason; }
    void setCloseReason(const QString &reason) { m_closeReason = reason; }
    bool hasEnded() const { return !m_closeReason.isEmpty(); }
    const QString &protocol() const { return m_protocol; }
    double openedTime() const { return m_openedTime; }
    double startTime() const { return m_startTime; }
    double lastUpdateTime() const { return m_lastUpdateTime; }
    quint32 totalUpBytes() const { return m_totalUpBytes; }
    quint32 totalDownBytes() const { return m_totalDownBytes; }
    quint64 lifetimeUpBytes() const { return m_lifetimeUpBytes; }
    quint64 lifetimeDownBytes() const { return m_lifetimeDownBytes; }
    quint64 lifetimeUpDataBytes() const { return m_lifetimeUpDataBytes; }
    quint64 lifetimeDownDataBytes() const { return m_lifetimeDownDataBytes; }

    QString lifetimeUpDataBytesFormatted() const;
    QString lifetimeDownDataBytesFormatted() const;
    // Speeds read the clock when asked. Bytes per second; the texts are kilobytes
    // (1024 bytes) with one decimal and "k/sec".
    double upSpeedNumber() const;
    double downSpeedNumber() const;
    double lifetimeUpSpeedNumber() const;
    double lifetimeDownSpeedNumber() const;
    QString upSpeed() const;
    QString downSpeed() const;
    QString lifetimeUpSpeed() const;
    QString lifetimeDownSpeed() const;

    // The moment of reading, not the stream: a log line shows when it was written.
    static QDateTime dateTime();
    static quint64 unixTime();

    // Key-value access. An invalid QVariant means the key is not answered. Numbers come
    // back as quint32, quint64 or double, texts as QString, dateTime as QDateTime.
    QVariant valueForKey(const QString &key) const;
    QVariant value(Key key) const;
    // For callers that resolve a name once and read it many times (log templates, columns).
    static std::optional<Key> keyNamed(QStringView name);
    static QLatin1StringView keyName(Key key);

private:
    void lookUpNames(const std::shared_ptr<Stream> &self);
    void lookUpServiceName(EndpointText Stream::*side);
    void lookUpHostName(const std::shared_ptr<Stream> &self, EndpointText Stream::*side);
    std::optional<StreamEndpoint> endpointOf(EndpointText Stream::*side) const;
    void copyTimesAndCountersInto(Stream &snapshot) const;

    quint64 m_serial;
    mutable std::mutex m_endpointMutex; // guards m_source, m_destination and m_process only
    EndpointText m_source;
    EndpointText m_destination;
    QString m_process;
    QString m_closeReason;
    const QString m_protocol;
    double m_openedTime;
    double m_startTime;
    // The counters a record touches stay last and together: the record path fetches them
    // ahead by the object's end (StreamTable).
    double m_lastUpdateTime = 0.0;
    quint32 m_totalUpBytes = 0;
    quint32 m_totalDownBytes = 0;
    quint64 m_lifetimeUpDataBytes = 0;
    quint64 m_lifetimeDownDataBytes = 0;
    quint64 m_lifetimeUpBytes = 0;
    quint64 m_lifetimeDownBytes = 0;
};
