// SPDX-License-Identifier: MIT
#include "model/StreamProtocol.h"

namespace {
const QString &tcpText()
{
    static const QString tcp = QStringLiteral("TCP");
    return tcp;
}

const QString &udpText()
{
    static const QString udp = QStringLiteral("UDP");
    return udp;
}
} // namespace

const QString &protocolText(std::uint8_t protocol)
{
    static const QString any = QStringLiteral("*");
    return protocol == kProtocolTcp ? tcpText() : protocol == kProtocolUdp ? udpText() : any;
}

std::uint8_t protocolNumber(QStringView text)
{
    return text == tcpText() ? kProtocolTcp : text == udpText() ? kProtocolUdp : 0;
}
