// SPDX-License-Identifier: MIT
#include "platform/InterfaceList.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

namespace {

using Item = InterfaceList::Item;

QStringList formattedNames(const QList<InterfaceList::Entry> &entries)
{
    QStringList names;
    for (const InterfaceList::Entry &entry : entries)
        names << entry.formattedName;
    return names;
}

Item ipv4(const char *name, const char *address)
{
    return {QString::fromUtf8(name), AF_INET, QString::fromLatin1(address)};
}

} // namespace

TEST(InterfaceList, LoopbackMovesBehindTheOtherInterfaces)
{
    const auto entries = InterfaceList::entriesFromItems(
        {ipv4("lo", "127.0.0.1"), ipv4("eth0", "192.168.1.2"), ipv4("wlan0", "10.0.0.7")});
    EXPECT_EQ(formattedNames(entries), (QStringList{"eth0 - 192.168.1.2", "wlan0 - 10.0.0.7", "lo - 127.0.0.1"}));

    const auto onlyLoopback = InterfaceList::entriesFromItems({ipv4("lo", "127.0.0.1")});
    ASSERT_EQ(onlyLoopback.size(), 1);
    EXPECT_EQ(onlyLoopback.front(), (InterfaceList::Entry{"lo", "127.0.0.1", "lo - 127.0.0.1", "lo"}));
}

TEST(InterfaceList, EveryAddressOfAnInterfaceThatIsUpGivesAnEntryBesideItsOthers)
{
    // As the system lists them: every IPv4 address before the first IPv6 one.
    const auto entries = InterfaceList::entriesFromItems({
        {QStringLiteral("eth0"), AF_PACKET, {}},
        ipv4("lo", "127.0.0.1"),
        ipv4("eth0", "192.168.1.2"),
        ipv4("eth0", "192.168.1.3"),
        {QStringLiteral("tun0"), AF_INET, {}},
        {QStringLiteral("down0"), AF_INET, QStringLiteral("10.9.9.9"), false},
        {QStringLiteral("lo"), AF_INET6, QStringLiteral("::1")},
        {QStringLiteral("eth0"), AF_INET6, QStringLiteral("fe80::1")},
        {QStringLiteral("wg0"), AF_INET6, QStringLiteral("2001:db8::7")},
    });
    EXPECT_EQ(formattedNames(entries),
              (QStringList{"eth0 - 192.168.1.2", "eth0 - 192.168.1.3", "eth0 - fe80::1", "wg0 - 2001:db8::7",
                           "lo - 127.0.0.1", "lo - ::1"}));

    EXPECT_TRUE(InterfaceList::entriesFromItems({{QStringLiteral("wlan0"), AF_PACKET, {}},
                                                 {QStringLiteral("wlan0"), AF_INET6, QStringLiteral("fe80::2"), false}})
                    .isEmpty());
}

TEST(InterfaceList, AddressLabelCapturesOnItsDevice)
{
    const auto entries
        = InterfaceList::entriesFromItems({ipv4("eth0:1", "192.168.1.9"), ipv4("lo:backup", "127.0.0.2")});
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].device, QStringLiteral("eth0"));
    EXPECT_EQ(entries[0].formattedName, QStringLiteral("eth0:1 - 192.168.1.9"));
    // Only the exact name "lo" is the loopback entry that moves.
    EXPECT_EQ(entries[1].name, QStringLiteral("lo:backup"));
    EXPECT_EQ(entries[1].device, QStringLiteral("lo"));
}
