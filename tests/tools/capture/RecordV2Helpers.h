// SPDX-License-Identifier: MIT
#pragma once

// Version-2 records in tests: shown field by field when an expectation fails, and the
// variations of an expected record stated by name.

#include "tools/capture/PacketSummary.h"

#include <ostream>

inline void PrintTo(const PacketSummaryV2 &summary, std::ostream *out)
{
    const auto address = [out](const PacketSummaryV2::Address &bytes) {
        for (std::size_t i = 0; i < bytes.size(); i += 2)
            *out << (i == 0 ? "" : ":") << std::hex << (bytes[i] << 8 | bytes[i + 1]) << std::dec;
    };
    *out << "{v" << int{summary.version} << " ip" << int{summary.ipVersion} << " proto " << int{summary.ipProtocol}
         << (summary.hasPorts ? " ports" : "") << (summary.fragment ? " fragment" : "") << (summary.syn ? " SYN" : "")
         << (summary.fin ? " FIN" : "") << (summary.reset ? " RST" : "") << " ";
    address(summary.sourceAddress);
    *out << " port " << summary.sourcePort << " -> ";
    address(summary.destinationAddress);
    *out << " port " << summary.destinationPort << ", " << summary.packetBytes << " bytes, " << summary.dataBytes
         << " data}";
}

inline PacketSummaryV2 withPorts(PacketSummaryV2 summary, std::uint16_t from, std::uint16_t to)
{
    summary.hasPorts = true;
    summary.sourcePort = from;
    summary.destinationPort = to;
    return summary;
}

inline PacketSummaryV2 asFragment(PacketSummaryV2 summary)
{
    summary.fragment = true;
    return summary;
}
