// SPDX-License-Identifier: MIT
#pragma once

#include "model/StreamEndpoint.h"

#include <QLatin1StringView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

class Stream;

// What history keeps of one stream: where it was seen, when, between which endpoints, under
// which names, by which program, and how many bytes went each way. A stream still open is
// recorded once a minute with the close reason "open"; each later record of the same stream
// replaces its earlier one in the store, so it is counted once.
//
// Texts are kept as they were when recorded, whatever they contain; whoever shows them
// neutralises them, as for live streams.
struct HistoryRecord
{
    static constexpr QLatin1StringView kOpen{"open"};
    static constexpr QLatin1StringView kIdle{"idle"};
    static constexpr QLatin1StringView kClosed{"closed"};
    static constexpr QLatin1StringView kReset{"reset"};

    // Which records are of one stream: the interface, the stream's number in the process that
    // records it, its first-seen time, protocol and endpoints. The number is not stored.
    struct Identity
    {
        QString interfaceName;
        quint64 serial = 0;
        double firstSeen = 0.0;
        std::uint8_t protocol = 0;
        StreamEndpoint local;
        StreamEndpoint remote;

        friend bool operator==(const Identity &, const Identity &) = default;
    };
    struct IdentityHash
    {
        std::size_t operator()(const Identity &identity) const;
    };

    QString interfaceName;
    quint64 serial = 0;
    double firstSeen = 0.0; // reference seconds, as Clock gives them; kept to the millisecond
    double lastSeen = 0.0;
    std::uint8_t protocol = 0; // IP protocol number
    StreamEndpoint local;      // this machine's side
    StreamEndpoint remote;
    QString localHostName; // empty when no name was known
    QString remoteHostName;
    QString localServiceName;
    QString remoteServiceName;
    QString programName;   // empty when no program was known
    quint32 programId = 0; // its process id; 0 when none was known
    quint64 upBytes = 0;   // sent by the local side
    quint64 downBytes = 0;
    quint64 upPayloadBytes = 0;
    quint64 downPayloadBytes = 0;
    QString closeReason; // kOpen while open, else kIdle, kClosed, kReset, or empty

    Identity identity() const;
    bool isOpen() const { return closeReason == kOpen; }

    // The record of a stream (a live stream or a cycle's copy) seen on `interfaceName`: its
    // source is the local side and up is what the source sent. `lastSeen` is the stream's
    // last packet: a live stream's lastUpdateTime, or the cycle's time for a copy, which has
    // none. The catch-all stream has no endpoints and gives no record.
    static std::optional<HistoryRecord> fromStream(const Stream &stream, const QString &interfaceName, double lastSeen,
                                                   const QString &closeReason);
};
