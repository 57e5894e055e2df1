// SPDX-License-Identifier: MIT
#pragma once

// What the capture tests share: an application object for main-thread delivery, preferences
// in a private folder, records as the tool writes them, and waiting on the event loop.

#include "ChildProcesses.h"
#include "EventLoopWait.h"
#include "RecordBytes.h"
#include "TestApplication.h"
#include "logging/QueuedWriter.h"
#include "platform/CurrentHost.h"
#include "platform/SystemElevation.h"
#include "tools/capture/PacketSummary.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QList>
#include <QSettings>
#include <QTemporaryDir>

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <span>

inline void ensureApplicationAndPrivatePreferences()
{
    testApplication();
}

inline QList<QByteArray> fileLines(const QString &path)
{
    QueuedWriter::waitForAll(std::chrono::seconds(5));
    QFile file(path);
    QList<QByteArray> lines = file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

constexpr std::uint32_t kLoopback = 0x7F000001;    // 127.0.0.1, always one of this machine's
constexpr std::uint32_t kRemote = 0x0A090807;      // 10.9.8.7
constexpr std::uint32_t kOtherRemote = 0xC0A80114; // 192.168.1.20

// A machine whose only addresses are 127.0.0.1 and ::1, whatever the test machine has.
inline std::shared_ptr<const CurrentHost::Snapshot> loopbackOnlyHost()
{
    static const auto snapshot = [] {
        auto host = std::make_shared<CurrentHost::Snapshot>();
        host->addresses = {QStringLiteral("127.0.0.1"), QStringLiteral("::1")};
        host->addressSet = {host->addresses.begin(), host->addresses.end()};
        host->binaryAddresses = {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 127, 0, 0, 1},
                                 {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
        return std::shared_ptr<const CurrentHost::Snapshot>(host);
    }();
    return snapshot;
}

inline PacketSummary record(std::uint8_t protocol, std::uint32_t from, std::uint16_t fromPort, std::uint32_t to,
                            std::uint16_t toPort, std::uint16_t packetBytes, std::uint16_t dataBytes)
{
    const bool hasPorts = protocol == 6 || protocol == 17;
    return PacketSummary{
        static_cast<std::uint8_t>(hasPorts),  protocol,    from,     to, hasPorts ? fromPort : std::uint16_t{0},
        hasPorts ? toPort : std::uint16_t{0}, packetBytes, dataBytes};
}

// The system's elevation (as root: the installer run directly), counted.
class CountingElevation final : public Elevation
{
public:
    Result runAsRoot(const QString &program, const QStringList &arguments, const QString &purpose) override
    {
        ++runs;
        return m_system.runAsRoot(program, arguments, purpose);
    }
    int runs = 0;

private:
    SystemElevation m_system;
};
