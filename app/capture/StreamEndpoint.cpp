// SPDX-License-Identifier: MIT
#include "capture/StreamEndpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>

bool StreamEndpoint::isIpv4() const
{
    constexpr std::array<std::uint8_t, 12> kMappedPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    return std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), address.begin());
}

QString StreamEndpoint::addressText() const
{
    if (isIpv4())
        return QStringLiteral("%1.%2.%3.%4").arg(address[12]).arg(address[13]).arg(address[14]).arg(address[15]);
    std::array<char, INET6_ADDRSTRLEN> text{};
    in6_addr binary{};
    std::copy(address.begin(), address.end(), binary.s6_addr);
    if (inet_ntop(AF_INET6, &binary, text.data(), text.size()) == nullptr)
        return {};
    return QString::fromLatin1(text.data());
}

QString StreamEndpoint::text() const
{
    if (isIpv4())
        return addressText() + u':' + QString::number(port);
    return u'[' + addressText() + QStringLiteral("]:") + QString::number(port);
}

QString StreamEndpoint::localSideText() const
{
    const QString shown = text();
    return isIpv4() ? shown : shown.mid(1);
}
