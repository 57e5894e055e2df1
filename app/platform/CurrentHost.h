// SPDX-License-Identifier: MIT
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

// This machine as the reverse-lookup service sees it: its own addresses are named without
// a query.
class CurrentHost
{
public:
    // How old a snapshot may be.
    static constexpr std::chrono::milliseconds kSnapshotLifetime{1000};

    // The addresses and name at one moment. An address in binary form is 16 bytes in
    // network order, an IPv4 address as its IPv4-mapped IPv6 form (::ffff:a.b.c.d).
    struct Snapshot
    {
        std::chrono::steady_clock::time_point takenAt;
        QStringList addresses; // in the system's order, as inet_ntop writes them
        QSet<QString> addressSet;
        std::vector<std::array<std::uint8_t, 16>> binaryAddresses;
        QString name;
    };

    // Every IPv4 and IPv6 address of every interface, as inet_ntop writes it.
    static QStringList addresses();
    // The host name; empty if the system does not give one.
    static QString name();

    // The host name when `address` is one of this machine's addresses, else a null QString.
    // Listing the interfaces costs tens of microseconds and the asking thread holds its
    // capture's lock, so this answers from a snapshot taken at most kSnapshotLifetime ago;
    // any thread may call it.
    static QString nameIfOwnAddress(const QString &address);

    // A snapshot taken at most kSnapshotLifetime ago; any thread may call it. Work done for
    // every new stream (the capture's lock held) reads this instead of listing interfaces.
    static std::shared_ptr<const Snapshot> snapshot();
};
