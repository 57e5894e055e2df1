// SPDX-License-Identifier: MIT
// The whole capture pipeline live: the real Netsiphon, installed by the real Rootmantle into
// a private support folder, feeding a StreamCapture whose update cycles run on their timer,
// while capture_flood sends paced UDP over many conversations on the loopback interface of
// a private network namespace and tcpdump records the same interface. Prints what each
// counted; the pipeline has lost nothing when its bytes equal tcpdump's.
//
// Also prints the CPU each side spent per frame: the pipeline (this process, reader and
// update cycles, plus its Netsiphon) against tcpdump.
//
// Usage (as root): capture_pipeline_live [datagrams per second, 0 = a flood of 1,000,000 unpaced]
//                                        [seconds] [conversations] [payload bytes]

#include "NetworkNamespace.h"
#include "PrivateSystemFolders.h"
#include "capture/StreamCapture.h"
#include "model/Stream.h"
#include "platform/Bundle.h"
#include "platform/Preferences.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <QDir>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct PcapTotals
{
    quint64 frames = 0;
    quint64 ipBytes = 0;
};

// A classic pcap file of an Ethernet-framed interface: 24-byte file header, then a 16-byte
// header per frame whose third field is the frame's length on the wire.
PcapTotals readPcap(const QString &path)
{
    QFile file(path);
    PcapTotals totals;
    if (!file.open(QIODevice::ReadOnly))
        return totals;
    const QByteArray bytes = file.readAll();
    constexpr qsizetype kEthernetHeader = 14;
    for (qsizetype offset = 24; offset + 16 <= bytes.size();) {
        quint32 captured = 0;
        quint32 onWire = 0;
        std::memcpy(&captured, bytes.constData() + offset + 8, 4);
        std::memcpy(&onWire, bytes.constData() + offset + 12, 4);
        ++totals.frames;
        totals.ipBytes += onWire - kEthernetHeader;
        offset += 16 + captured;
    }
    return totals;
}

// Sleeps in the event loop, so the capture's timer and reader answers run meanwhile and
// this process spends no CPU of its own on waiting.
void waitWithEvents(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// User and system time of a process so far, in nanoseconds (clock ticks from /proc).
double cpuNanoseconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0.0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1e9 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double ownCpuNanoseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto nanoseconds = [](const timeval &time) {
        return static_cast<double>(time.tv_sec) * 1e9 + static_cast<double>(time.tv_usec) * 1e3;
    };
    return nanoseconds(usage.ru_utime) + nanoseconds(usage.ru_stime);
}

// This process's child named Netsiphon: the capture tool it started.
qint64 toolPid()
{
    const QString self = QString::number(getpid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (text.contains("(Netsiphon)") && fields.value(1) == self.toUtf8())
            return pid.toLongLong();
    }
    return 0;
}

QStringList inside(const NetworkNamespace &network, const QStringList &program)
{
    QStringList commandLine;
    for (const std::string &word : network.commandLine({}))
        commandLine << QString::fromStdString(word);
    return commandLine + program;
}

} // namespace

int main(int argc, char *argv[])
{
    // The installer makes the capture group: in a private /etc, before any thread starts.
    if (geteuid() == 0)
        if (const std::string why = PrivateSystemFolders::enter(); !why.empty()) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const QString perSecond = arguments.value(1, QStringLiteral("100000"));
    const int seconds = arguments.value(2, QStringLiteral("5")).toInt();
    const QString conversations = arguments.value(3, QStringLiteral("10000"));
    const QString payload = arguments.value(4, QStringLiteral("18"));
    if (geteuid() != 0) {
        std::fprintf(stderr, "needs root: creates a network namespace and installs the capture tool\n");
        return 1;
    }
    QTemporaryDir folder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    Preferences::shared().registerDefaultPreferences();
    Preferences::shared().setValue(Preferences::LookupHostnames, false);
    qputenv("QUILLMERE_SUPPORT_DIR", folder.filePath(QStringLiteral("support")).toUtf8());
    const NetworkNamespace network;
    if (!network.failure().empty()) {
        std::fprintf(stderr, "%s\n", network.failure().c_str());
        return 1;
    }

    const QString pcapPath = folder.filePath(QStringLiteral("reference.pcap"));
    QProcess tcpdump;
    const QStringList tcpdumpLine
        = inside(network,
                 {QStringLiteral("tcpdump"), QStringLiteral("-i"), QStringLiteral("lo"), QStringLiteral("-n"),
                  QStringLiteral("-s"), QStringLiteral("96"), QStringLiteral("-B"), QStringLiteral("65536"),
                  QStringLiteral("-w"), pcapPath});
    tcpdump.start(tcpdumpLine.first(), tcpdumpLine.mid(1));
    waitWithEvents(1000);

    StreamCapture capture;
    bool started = false;
    network.inside([&] { started = capture.setInterface(QStringLiteral("lo")); });
    if (!started) {
        std::fprintf(stderr, "the capture did not start: %s\n", qPrintable(capture.startFailure()));
        return 1;
    }
    waitWithEvents(1000);

    const QString flood = Bundle::executableFolder() + QStringLiteral("/capture_flood");
    const long datagrams = perSecond.toLong() > 0 ? perSecond.toLong() * seconds : 1'000'000;
    const qint64 tool = toolPid();
    const double pipelineBefore = ownCpuNanoseconds() + cpuNanoseconds(tool);
    const double tcpdumpBefore = cpuNanoseconds(tcpdump.processId());
    QProcess sender;
    const QStringList senderLine = inside(
        network, {flood, QString::number(datagrams), QString::number(seconds * 3), payload, perSecond, conversations});
    sender.start(senderLine.first(), senderLine.mid(1));
    while (sender.state() != QProcess::NotRunning)
        waitWithEvents(100);
    waitWithEvents(2500);
    const double pipelineCpu = ownCpuNanoseconds() + cpuNanoseconds(tool) - pipelineBefore;
    const double tcpdumpCpu = cpuNanoseconds(tcpdump.processId()) - tcpdumpBefore;
    kill(static_cast<pid_t>(tcpdump.processId()), SIGINT);
    tcpdump.waitForFinished(5000);
    capture.update();

    const PcapTotals reference = readPcap(pcapPath);
    const CaptureTotals &totals = capture.totals();
    std::printf("sent: %s", sender.readAllStandardOutput().constData());
    std::printf("tcpdump: %llu frames, %llu IP bytes\n", static_cast<unsigned long long>(reference.frames),
                static_cast<unsigned long long>(reference.ipBytes));
    std::printf("pipeline: %llu IP bytes (%llu up, %llu down), %d UDP streams, %d other\n",
                static_cast<unsigned long long>(totals.upBytes + totals.downBytes),
                static_cast<unsigned long long>(totals.upBytes), static_cast<unsigned long long>(totals.downBytes),
                totals.udpStreams, totals.otherStreams);
    if (reference.frames > 0)
        std::printf("CPU per frame: pipeline %.1f ns, tcpdump %.1f ns\n",
                    pipelineCpu / static_cast<double>(reference.frames),
                    tcpdumpCpu / static_cast<double>(reference.frames));
    const bool equal = totals.upBytes + totals.downBytes == reference.ipBytes;
    std::printf("%s\n", equal ? "equal: nothing lost" : "DIFFERENT");
    capture.shutdown();
    return equal ? 0 : 2;
}
