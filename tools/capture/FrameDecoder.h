// SPDX-License-Identifier: MIT
#pragma once

// Turns one captured frame into its PacketSummary. This is the code in the setuid tool
// that touches bytes straight off the wire, so it reads only inside the span it is given
// (the captured bytes) and treats everything in them as hostile.
//
// - Fewer than linkHeaderLength + 24 bytes (a minimal IPv4 header plus both ports): a
//   record with every field zero except packetBytes = (length - linkHeaderLength) mod 65536.
// - A frame that does not carry IPv4 yields that same record shape: with a 14-byte
//   (Ethernet) link header, an EtherType other than 0x0800; on every link type, an IP
//   version nibble other than 4. Such frames (ARP, IPv6, ...) land in the application's
//   catch-all stream instead of becoming invented conversations.
// - Otherwise protocol and addresses come from the IPv4 header; packetBytes is
//   (length - linkHeaderLength) mod 65536, padding included, and dataBytes subtracts the
//   IP header (IHL) and the transport header, wrapping mod 65536 when headers claim more
//   than the frame holds.
// - TCP (6) and UDP (17) carry their ports only when the bytes read for them lie inside
//   the captured frame: both port fields for UDP, and for TCP also the header-length byte
//   12 bytes into the TCP header. When IP options or a truncated frame push them past the
//   end, the frame is summarised like any other protocol: hasPorts 0, protocol and
//   addresses kept, ports zero, dataBytes = packetBytes - IP header length.
// - A later fragment (fragment offset above zero) is summarised the same way whatever its
//   protocol: its payload continues the datagram and holds no ports. The first fragment
//   keeps its ports.
//
// decodeFrameV2 (FrameDecoderV2.h) writes the larger version-2 record.

#include "tools/capture/PacketSummary.h"

#include <cstddef>
#include <cstdint>
#include <span>

PacketSummary decodeFrame(std::span<const std::uint8_t> capturedFrame, std::size_t linkHeaderLength);
