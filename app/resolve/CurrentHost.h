#pragma once

#include <QString>
#include <QStringList>

// This machine as the reverse-lookup service sees it: its own addresses are named without
// a query.
class CurrentHost
{
public:
    // Every IPv4 and IPv6 address of every interface, as inet_ntop writes it.
    static QStringList addresses();
    // The host name; empty if the system does not give one.
    static QString name();
};
