// SPDX-License-Identifier: MIT
#pragma once

// A shell script in the capture tool's place, for tests of the application that need neither
// root nor an interface: the script writes what the test wants a tool to write.

#include "RecordBytes.h"
#include "capture/StreamCapture.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

class FakeCaptureTool
{
public:
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
