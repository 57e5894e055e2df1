// SPDX-License-Identifier: MIT
#pragma once

// The link types the capture tool can decode and how many link-layer bytes precede the
// IP header on each. Values are libpcap's DLT_ numbers.

#include <cstddef>
#include <optional>

// No value: the link type cannot be decoded.
std::optional<std::size_t> linkHeaderLength(int linkType);
