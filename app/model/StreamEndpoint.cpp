// SPDX-License-Identifier: MIT
#include "model/StreamEndpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <charconv>

std::optional<StreamEndpoint> StreamEndpoint::fromAddressText(const QString &address, std::uint16_t port)
{
    const QByteArray text = address.toLatin1();
    if (text.contains('\0'))
        return std::nullopt;
    in_addr ipv4{};
    if (inet_pton(AF_INET, text.constData(), &ipv4) == 1)
        return StreamEndpoint::ipv4(ntohl(ipv4.s_addr), port);
    in6_addr ipv6{};
    if (inet_pton(AF_INET6, text.constData(), &ipv6) != 1)
        return std::nullopt;
    std::array<std::uint8_t, 16> bytes{};
    std::copy(std::begin(ipv6.s6_addr), std::end(ipv6.s6_addr), bytes.begin());
    return fromBytes(bytes, port);
}

bool StreamEndpoint::isIpv4() const
{
    constexpr std::array<std::uint8_t, 12> kMappedPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    return std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), address.begin());
}

QString StreamEndpoint::addressText() const
{
    if (isIpv4()) {
        // Written digit by digit: every new stream makes this text several times.
        std::array<char, INET_ADDRSTRLEN> text{};
        char *end = text.data();
        for (std::size_t byte = 12; byte < address.size(); ++byte) {
            if (byte > 12)
                *end++ = '.';
            end = std::to_chars(end, text.data() + text.size(), address[byte]).ptr;
        }
        return QString::fromLatin1(text.data(), end - text.data());
    }
    std::array<char, INET6_ADDRSTRLEN> text{};
    in6_addr binary{};
    std::copy(address.begin(), address.end(), binary.s6_addr);
    if (inet_ntop(AF_INET6, &binary, text.data(), text.size()) == nullptr)
        return {};
    return QString::fromLatin1(text.data());
}

QString StreamEndpoint::shownAddress() const
{
    return isIpv4() ? addressText() : u'[' + addressText() + u']';
}

QString StreamEndpoint::text() const
{
    return shownAddress() + u':' + QString::number(port);
}

QString StreamEndpoint::localSideText() const
{
    const QString shown = text();
    return isIpv4() ? shown : shown.mid(1);
}
