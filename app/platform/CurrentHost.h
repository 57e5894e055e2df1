#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

// This machine as the reverse-lookup service sees it: its own addresses are named without
// a query.
class CurrentHost
{
public:
    // How old the snapshot behind nameIfOwnAddress may be.
    static constexpr std::chrono::milliseconds kSnapshotLifetime{1000};

    // Every IPv4 and IPv6 address of every interface, as inet_ntop writes it.
    static QStringList addresses();
    // The host name; empty if the system does not give one.
    static QString name();

    // The host name when `address` is one of this machine's addresses, else a null QString.
    // Listing the interfaces costs tens of microseconds and the asking thread holds its
    // capture's lock, so this answers from a snapshot taken at most kSnapshotLifetime ago;
    // any thread may call it.
    static QString nameIfOwnAddress(const QString &address);
};
