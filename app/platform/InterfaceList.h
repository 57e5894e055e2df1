// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <optional>

// The machine's interfaces that are up, as the chooser offers them: one entry per IPv4 or
// IPv6 address (an interface with IPv6 addresses only is watched as well as any), the
// addresses of one interface together in the system's order, the interfaces in the order
// the system first names them, with the loopback interface last (it is rarely the one a
// person wants to watch, and the first entry is the one preselected).
class InterfaceList
{
    Q_DECLARE_TR_FUNCTIONS(InterfaceList)

public:
    struct Entry
    {
        QString name;          // as the system reports it, possibly an address label ("eth0:1")
        QString address;       // IPv4 or IPv6 text
        QString formattedName; // "name - address", what the chooser shows
        QString device;        // the name up to its first ":": what the capture tool opens

        friend bool operator==(const Entry &, const Entry &) = default;
    };

    // One element of the system's list: an interface name, an address family (AF_INET, ...),
    // the address as text (empty when the element has none) and whether the interface is up.
    struct Item
    {
        QString name;
        int family = 0;
        QString address;
        bool up = true;
    };

    // The entries of the system's interfaces; nothing when they cannot be listed (the reason
    // is written to standard error).
    static std::optional<QList<Entry>> current();

    // The entries made from the given elements: IPv4 and IPv6 ones with an address on an
    // interface that is up, ordered as above; "lo" is the loopback interface.
    static QList<Entry> entriesFromItems(const QList<Item> &items);
};
