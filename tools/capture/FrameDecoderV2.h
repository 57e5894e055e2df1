// SPDX-License-Identifier: MIT
#pragma once

// Turns one captured frame into its PacketSummaryV2. Like decodeFrame this runs in the
// setuid tool on bytes straight off the wire: it reads only inside capturedFrame (the
// captured bytes, possibly cut by the snapshot length) and trusts nothing in them.
//
// - Where IP starts: after a 14-byte (Ethernet) link header the EtherType decides, 0x0800
//   IPv4 and 0x86DD IPv6, once up to two VLAN tags (EtherType 0x8100, 0x88A8 or 0x9100)
//   are stepped over; the IP version nibble must agree. On other links the nibble decides.
// - packetBytes is what was sent: the IP header's length of the datagram (IPv4's total
//   length; IPv6's payload length plus 40, or for a payload length of 0 the jumbo payload
//   option's length plus 40), never more than the wire carried after the link header and
//   the 4 bytes per VLAN tag. So Ethernet padding after a small datagram is not counted.
//   Where the header gives no length (an IPv4 total length of 0, a segment the kernel has
//   yet to cut; a payload length of 0 without a jumbo option) and for frames without IP,
//   it is what the wire carried, from wireLength, the frame's length on the wire, so it
//   stays right for a frame captured only in part. Lengths never wrap: where headers claim
//   more than the datagram, what is left is zero.
// - Nothing past the datagram's length is read: headers that would lie in the padding are
//   as good as cut off.
// - A frame without IP (another EtherType or version, a third VLAN tag, an IPv4 header
//   length or total length under 20 bytes, fewer captured bytes than the IPv4 or IPv6
//   fixed header) gives ipVersion 0 and every field zero except packetBytes.
// - Up to kMostExtensionHeaders headers between IP and the transport are walked: for IPv6
//   its extension headers (hop-by-hop 0, routing 43, fragment 44, destination options 60),
//   and for both versions the Authentication Header (51), so IPsec AH traffic has its ports.
//   ipProtocol is the last next-header value reached: the upper-layer protocol, or the
//   header the walk stopped at because it was cut off or past the bound.
// - Fragments: IPv4's when more fragments follow or the fragment offset is above zero; the
//   same for IPv6's fragment header.
// - Ports: TCP (6) and UDP (17) carry ports when the bytes read for them lie inside the
//   captured datagram: both port fields, and for TCP the header-length byte. A later
//   fragment (offset above zero) never has ports: its payload continues the datagram. A TCP
//   segment with ports has its SYN, FIN and RST flags when the flags byte is inside too.
//   dataBytes = packetBytes - IP headers - transport header (TCP's data offset, 8 for UDP,
//   nothing without ports).

#include "tools/capture/PacketSummary.h"

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t kMostExtensionHeaders = 8;

// What the tool captures of each frame for version 2. The longest prefix read is 76 bytes
// plus extension headers: 14 link, 8 for two VLAN tags, 40 IPv6 and 14 TCP; 180 bytes are
// left for extension headers, room for the bound's worth at their smallest (8 bytes each)
// or a routing header with ten segments. A longer chain is cut and recorded without ports.
inline constexpr int kSnapshotLengthV2 = 256;

PacketSummaryV2 decodeFrameV2(std::span<const std::uint8_t> capturedFrame, std::size_t linkHeaderLength,
                              std::uint32_t wireLength);
