// SPDX-License-Identifier: MIT
#pragma once

// Records as the capture tool writes them for the application (version 2), for a frame the
// 20-byte record describes: as bytes to feed a reader, or as printf escapes for a script that
// stands in for the tool.

#include "tools/capture/PacketSummary.h"

#include <QByteArray>

#include <array>
#include <cstddef>
#include <span>

inline QByteArray wireBytes(const PacketSummary &summary)
{
    std::array<std::uint8_t, PacketSummaryV2::kWireSize> bytes{};
    PacketSummaryV2::widened(summary).encode(bytes);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), bytes.size());
}

inline std::span<const std::byte> asBytes(const QByteArray &bytes)
{
    return std::as_bytes(std::span(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

inline QByteArray printfRecord(const PacketSummary &summary)
{
    QByteArray text;
    for (const char byte : wireBytes(summary))
        text += '\\' + QByteArray::number(static_cast<std::uint8_t>(byte), 8).rightJustified(3, '0');
    return text;
}
