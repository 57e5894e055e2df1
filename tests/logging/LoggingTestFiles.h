// SPDX-License-Identifier: MIT
#pragma once

#include "logging/QueuedWriter.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <chrono>
#include <ostream>

// Reads a log file the way a user's tools would, once the lines on their way to it have
// arrived: its bytes, or its lines without their line feeds (a missing final line feed shows
// as a non-empty last element).
inline QByteArray readWholeFile(const QString &path)
{
    QueuedWriter::waitForAll(std::chrono::seconds(5));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline QList<QByteArray> readLines(const QString &path)
{
    QList<QByteArray> lines = readWholeFile(path).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Failures show lines as text rather than as lists of characters.
inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << '"' << bytes.toStdString() << '"';
}
