// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

// A stream's protocol as its table shows it: "TCP", "UDP", and "*" for every other protocol
// (the catch-all stream's too), and the number back from that text. Only TCP and UDP keep
// their number through the text; "*" reads back as 0.
inline constexpr std::uint8_t kProtocolTcp = 6;
inline constexpr std::uint8_t kProtocolUdp = 17;

const QString &protocolText(std::uint8_t protocol);
std::uint8_t protocolNumber(QStringView text);
