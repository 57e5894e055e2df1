// SPDX-License-Identifier: MIT
#pragma once

#include "tools/capture/PacketSummary.h"

#include <QString>

#include <array>
#include <compare>
#include <cstdint>
#include <optional>

// One end of a conversation as numbers: an address and a port. Addresses are kept in the
// IPv6 width, an IPv4 address as its IPv4-mapped form (::ffff:a.b.c.d), so one table holds
// both families and endpoints compare as plain bytes.
struct StreamEndpoint
{
    std::array<std::uint8_t, 16> address{};
    std::uint16_t port = 0;

    // An IPv4 address in host order (10.0.0.1 is 0x0A000001).
    static constexpr StreamEndpoint ipv4(std::uint32_t hostOrderAddress, std::uint16_t port)
    {
        return fromBytes(PacketSummaryV2::ipv4Mapped(hostOrderAddress), port);
    }

    static constexpr StreamEndpoint fromBytes(const std::array<std::uint8_t, 16> &address, std::uint16_t port)
    {
        StreamEndpoint endpoint;
        endpoint.address = address;
        endpoint.port = port;
        return endpoint;
    }

    // An address as this machine lists its own or as the lookup service was asked for it
    // ("10.0.0.1", "2001:db8::1"); nothing for text that is not an address.
    static std::optional<StreamEndpoint> fromAddressText(const QString &address, std::uint16_t port);

    bool isIpv4() const;
    // The address as this machine lists its own: "10.0.0.1", "2001:db8::1".
    QString addressText() const;
    // The address as an endpoint's text shows it: "10.0.0.1", "[2001:db8::1]".
    QString shownAddress() const;
    // The display text of a new stream's endpoint: "10.0.0.1:80", "[2001:db8::1]:443".
    QString text() const;
    // The text compared with this machine's address texts to tell the local side: the
    // display text, without the bracket that opens an IPv6 one.
    QString localSideText() const;

    friend constexpr auto operator<=>(const StreamEndpoint &, const StreamEndpoint &) = default;
};
