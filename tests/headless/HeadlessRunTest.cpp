// SPDX-License-Identifier: MIT
#include "NetworkNamespace.h"
#include "PrivateSystemFolders.h"
#include "TestSockets.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <cstdlib>

namespace {

const QString kApplication = QStringLiteral(QUILLMERE_BUILD_DIR "/bin/quillmere");
constexpr std::uint32_t kLoopback = 0x7F000001;

// The application itself, run as a person would run it, inside a private network namespace
// with its own settings and support folders.
class HeadlessRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_network.failure().empty())
            GTEST_SKIP() << m_network.failure();
        // The installer the application runs makes the capture group, in the test's own /etc.
        if (const std::string why = PrivateSystemFolders::enter(); !why.empty())
            GTEST_SKIP() << why;
        m_receiver = boundUdpSocket(m_network, kLoopback, 7102);
        m_sender = boundUdpSocket(m_network, kLoopback, 7101);
    }

    QStringList commandLine(const QStringList &options) const
    {
        return QStringList{QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("exec"),
                           QString::fromStdString(m_network.name()), QStringLiteral("env"),
                           QStringLiteral("QUILLMERE_SUPPORT_DIR=") + m_folder.filePath(QStringLiteral("support")),
                           QStringLiteral("XDG_CONFIG_HOME=") + m_folder.filePath(QStringLiteral("config")),
                           kApplication, QStringLiteral("--headless"), QStringLiteral("--interface"),
                           QStringLiteral("lo"), QStringLiteral("--interval"), QStringLiteral("0.3")}
            + options;
    }

    void start(const QStringList &options)
    {
        const QStringList line = commandLine(options);
        m_run.start(line.first(), line.mid(1));
        ASSERT_TRUE(m_run.waitForStarted());
    }

    // Reads lines until one satisfies `wanted`, or the time is up; `nudge` runs meanwhile (to
    // send traffic while the capture comes up).
    QByteArray lineWhere(const std::function<bool(const QByteArray &)> &wanted,
                         const std::function<void()> &nudge = [] {})
    {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            nudge();
            m_run.waitForReadyRead(100);
            while (m_run.canReadLine()) {
                const QByteArray line = m_run.readLine().trimmed();
                if (wanted(line))
                    return line;
            }
        }
        return {};
    }

    int endWithSignal()
    {
        ::kill(static_cast<pid_t>(m_run.processId()), SIGTERM);
        EXPECT_TRUE(m_run.waitForFinished(5000));
        return m_run.exitStatus() == QProcess::NormalExit ? m_run.exitCode() : -1;
    }

    NetworkNamespace m_network;
    QTemporaryDir m_folder;
    QProcess m_run;
    OwnedDescriptor m_receiver;
    OwnedDescriptor m_sender;
};

} // namespace

TEST_F(HeadlessRunTest, TrafficShowsInTheJsonLinesAndTheLogAndSigtermEndsItCleanly)
{
    const QString logPath = m_folder.filePath(QStringLiteral("streams.txt"));
    start({QStringLiteral("--json"), QStringLiteral("--log"), logPath});
    ASSERT_FALSE(lineWhere([](const QByteArray &line) { return line.contains(":7101\""); },
                           [&] { sendUdp(m_sender, kLoopback, 7102, 100); })
                     .isEmpty())
        << m_run.readAllStandardError().toStdString();
    // From a quiet start: three more datagrams, counted exactly.
    QJsonObject before;
    lineWhere([&](const QByteArray &line) {
        before = QJsonDocument::fromJson(line).object();
        return line.contains(":7101\"");
    });
    for (int datagram = 0; datagram < 3; ++datagram)
        sendUdp(m_sender, kLoopback, 7102, 100);
    const double expected = before.value(QStringLiteral("lifetimeUpDataBytes")).toDouble() + 300;
    const QByteArray counted = lineWhere([&](const QByteArray &line) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        return line.contains(":7101\"") && object.value(QStringLiteral("lifetimeUpDataBytes")).toDouble() == expected;
    });
    EXPECT_FALSE(counted.isEmpty());
    EXPECT_EQ(QJsonDocument::fromJson(counted).object().value(QStringLiteral("interface")).toString(), "lo");

    EXPECT_EQ(endWithSignal(), 0);
    QProcess left;
    left.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("pids"),
                                      QString::fromStdString(m_network.name())});
    left.waitForFinished(5000);
    EXPECT_EQ(left.readAllStandardOutput(), "") << "a process was left in the namespace";
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(":7101 - destination: "));
}

TEST_F(HeadlessRunTest, TheTableHasAHeaderAndTheStreamsAndAClosedReaderEndsIt)
{
    start({});
    EXPECT_FALSE(lineWhere([](const QByteArray &line) { return line.startsWith("source\tdestination\tprotocol"); })
                     .isEmpty());
    EXPECT_FALSE(lineWhere([](const QByteArray &line) { return line.contains(":7101\t") && line.contains("\tUDP\t"); },
                           [&] { sendUdp(m_sender, kLoopback, 7102, 10); })
                     .isEmpty());
    EXPECT_EQ(endWithSignal(), 0);

    QProcess piped;
    piped.start(QStringLiteral("bash"), {QStringLiteral("-c"), commandLine({}).join(u' ')
                                                                   + QStringLiteral(" | head -1; exit ${PIPESTATUS[0]}")});
    ASSERT_TRUE(piped.waitForFinished(10000));
    EXPECT_EQ(piped.exitCode(), 0) << piped.readAllStandardError().toStdString();
    EXPECT_TRUE(piped.readAllStandardOutput().startsWith("source\tdestination"));
}

// A person's own copy of the application asks no administrator to run the installer beside
// it: whatever stands there by then would run as root.
TEST_F(HeadlessRunTest, ABundleOthersThanRootCanChangeAsksNoAdministrator)
{
    QTemporaryDir bundle;
    QDir layout(bundle.path());
    ASSERT_TRUE(layout.mkpath(QStringLiteral("bin")) && layout.mkpath(QStringLiteral("libexec/quillmere")));
    const QString tools = QStringLiteral(QUILLMERE_BUILD_DIR "/libexec/quillmere/");
    ASSERT_TRUE(QFile::copy(kApplication, layout.filePath(QStringLiteral("bin/quillmere"))));
    for (const QString &tool : {QStringLiteral("Netsiphon"), QStringLiteral("Rootmantle")})
        ASSERT_TRUE(QFile::copy(tools + tool, layout.filePath(QStringLiteral("libexec/quillmere/") + tool)));
    QStringList line = commandLine({});
    line.replace(line.indexOf(kApplication), layout.filePath(QStringLiteral("bin/quillmere")));
    // The person nobody, whose folders these are, started through a second exec.
    const qsizetype environment = line.indexOf(QStringLiteral("env"));
    line = line.mid(0, environment)
        + QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                      QStringLiteral("--clear-groups")}
        + line.mid(environment);
    ASSERT_EQ(std::system(("chown -R 65534:65534 " + bundle.path() + " " + m_folder.path()).toLocal8Bit().constData()),
              0);
    m_run.start(line.first(), line.mid(1));
    ASSERT_TRUE(m_run.waitForFinished(20000)) << "an approval was asked for";
    EXPECT_EQ(m_run.exitCode(), 1);
    const QString said = QString::fromLocal8Bit(m_run.readAllStandardError());
    EXPECT_TRUE(said.contains(QStringLiteral("Quillmere asks no administrator to run its installer, because ")))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral(" is not a folder only root can write"))) << said.toStdString();
}

TEST(HeadlessUsage, UsageErrorsExitWithTwoAndHelpAndVersionWithZero)
{
    const std::vector<std::pair<QStringList, int>> cases{
        {{QStringLiteral("--headless")}, 2},
        {{QStringLiteral("--frobnicate")}, 2},
        {{QStringLiteral("--headless"), QStringLiteral("--interface"), QStringLiteral("lo"), QStringLiteral("--interval"),
          QStringLiteral("-1")},
         2},
        {{QStringLiteral("--help")}, 0},
        {{QStringLiteral("--version")}, 0},
    };
    for (const auto &[arguments, status] : cases) {
        QProcess run;
        run.start(kApplication, arguments);
        ASSERT_TRUE(run.waitForFinished(5000));
        EXPECT_EQ(run.exitCode(), status) << arguments.join(u' ').toStdString();
    }
    QProcess version;
    version.start(kApplication, {QStringLiteral("--version")});
    version.waitForFinished(5000);
    EXPECT_EQ(version.readAllStandardOutput(), "quillmere " QUILLMERE_VERSION "\n");
}
