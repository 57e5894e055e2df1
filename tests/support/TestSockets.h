// SPDX-License-Identifier: MIT
#pragma once

// Sockets for live capture tests, made inside a test namespace, and the wait until a freshly
// started capture tool is really capturing.

#include "NetworkNamespace.h"
#include "ToolProcess.h"
#include "tools/common/OwnedDescriptor.h"

#include <cstdint>
#include <functional>
#include <utility>

constexpr std::uint32_t kLoopbackAddress = 0x7F000001; // 127.0.0.1

OwnedDescriptor socketInside(const NetworkNamespace &network, int domain, int type, int protocol);
// A UDP socket inside the namespace bound to address:port (host order).
OwnedDescriptor boundUdpSocket(const NetworkNamespace &network, std::uint32_t address, std::uint16_t port);
bool sendUdp(const OwnedDescriptor &socket, std::uint32_t address, std::uint16_t port, std::size_t payloadBytes);

// Calls probe (which should make the tool see a frame) until a record arrives, then reads
// what is still in flight, so later reads see only the frames a test sends afterwards.
template <class Record> bool waitUntilCapturing(BasicToolProcess<Record> &tool, const std::function<void()> &probe);
