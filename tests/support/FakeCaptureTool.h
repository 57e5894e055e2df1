// SPDX-License-Identifier: MIT
#pragma once

// A shell script in the capture tool's place, for tests of the application that need neither
// root nor an interface: the script writes what the test wants a tool to write.

#include "capture/StreamCapture.h"
#include "tools/capture/PacketSummary.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <array>

class FakeCaptureTool
{
public:
    // The version-2 record the application reads for a frame the 20-byte record describes,
    // as printf escapes.
    static QByteArray printfRecord(const PacketSummary &summary)
    {
        std::array<std::uint8_t, PacketSummaryV2::kWireSize> bytes{};
        PacketSummaryV2::widened(summary).encode(bytes);
        QByteArray text;
        for (const std::uint8_t byte : bytes)
            text += '\\' + QByteArray::number(byte, 8).rightJustified(3, '0');
        return text;
    }

    // Writes a script with this body and makes the next capture start it.
    void use(const QByteArray &script)
    {
        const QString path = m_folder.filePath(QStringLiteral("tool-%1").arg(++m_written));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write("#!/bin/sh\n" + script + '\n');
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        StreamCapture::setToolPathForTesting(path);
    }

    ~FakeCaptureTool() { StreamCapture::setToolPathForTesting({}); }

private:
    QTemporaryDir m_folder;
    int m_written = 0;
};
