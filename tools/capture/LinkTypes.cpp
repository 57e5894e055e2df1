// SPDX-License-Identifier: MIT
#include "tools/capture/LinkTypes.h"

std::optional<std::size_t> linkHeaderLength(int linkType)
{
    switch (linkType) {
    case 0:   // DLT_NULL, BSD loopback: 4-byte address family
    case 108: // DLT_LOOP, OpenBSD loopback
        return 4;
    case 1:   // DLT_EN10MB, Ethernet
    case 105: // DLT_IEEE802_11, given the Ethernet length on purpose
        return 14;
    case 12: // DLT_RAW, raw IP
        return 0;
    default:
        return std::nullopt;
    }
}
