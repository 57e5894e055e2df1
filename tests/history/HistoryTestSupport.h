// SPDX-License-Identifier: MIT
#pragma once

// Records for history tests, a store in a folder of its own, and reading what a file holds.

#include "history/HistoryQuery.h"
#include "history/HistoryRecord.h"
#include "history/HistoryStore.h"
#include "platform/Clock.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <ostream>
#include <thread>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// The start of the day before yesterday (UTC) in reference seconds: a whole hour, well within
// the time history keeps by default.
inline const double kDay0 = std::floor(Clock::now() / 86400.0 - 2.0) * 86400.0;
constexpr double kHour = 3600.0;

// A closed TCP stream from 192.168.1.2 to 10.0.<host>.1:443, `number` telling it apart.
inline HistoryRecord closedRecord(int number, double lastSeen, int host = 1, quint64 bytes = 1000)
{
    HistoryRecord record;
    record.interfaceName = QStringLiteral("eth0");
    record.serial = static_cast<quint64>(number);
    record.firstSeen = lastSeen - 2.0;
    record.lastSeen = lastSeen;
    record.protocol = 6;
    record.local = StreamEndpoint::ipv4(0xC0A80102, static_cast<std::uint16_t>(40000 + number % 20000));
    record.remote = StreamEndpoint::ipv4(0x0A000001 | (static_cast<std::uint32_t>(host) << 8), 443);
    record.remoteServiceName = QStringLiteral("https");
    record.programName = QStringLiteral("firefox");
    record.programId = 4242;
    record.upBytes = bytes / 4;
    record.downBytes = bytes - bytes / 4;
    record.upPayloadBytes = record.upBytes / 2;
    record.downPayloadBytes = record.downBytes / 2;
    record.closeReason = HistoryRecord::kClosed;
    return record;
}

// Everything a file holds, most bytes first.
inline constexpr HistoryQuery::Range kAllTime{0.0, 4.0e9};

inline bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A history file in a temporary folder, and stores over it with quick retries and commits.
class HistoryFolder
{
public:
    QString path() const { return m_folder.filePath(QStringLiteral("history.sqlite")); }
    QString folder() const { return m_folder.path(); }

    HistoryStore::Options options() const
    {
        HistoryStore::Options options;
        options.path = path();
        options.commitInterval = std::chrono::milliseconds(20);
        options.retryInterval = std::chrono::milliseconds(50);
        return options;
    }

    // Writes the records and closes the store; whether all were written.
    bool write(std::vector<HistoryRecord> records) const
    {
        HistoryStore store(options());
        store.record(std::move(records));
        return store.flush(std::chrono::seconds(30));
    }

private:
    QTemporaryDir m_folder;
};
