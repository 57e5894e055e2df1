// SPDX-License-Identifier: MIT
#include "NetworkNamespace.h"
#include "PrivateSystemFolders.h"
#include "TestSockets.h"
#include "ToolProcess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

    // The window-less mode on lo every 0.3 s, or with `windowed` a window on lo drawn off screen.
    QStringList commandLine(const QStringList &options, bool windowed = false,
                            const QString &interfaceName = QStringLiteral("lo")) const
    {
        const QStringList mode = windowed ? QStringList{QStringLiteral("QT_QPA_PLATFORM=offscreen"), kApplication}
                                          : QStringList{kApplication, QStringLiteral("--headless"),
                                                        QStringLiteral("--interval"), QStringLiteral("0.3")};
        return QStringList{QStringLiteral("ip"),
                           QStringLiteral("netns"),
                           QStringLiteral("exec"),
                           QString::fromStdString(m_network.name()),
                           QStringLiteral("env"),
                           QStringLiteral("QUILLMERE_SUPPORT_DIR=") + m_folder.filePath(QStringLiteral("support")),
                           QStringLiteral("XDG_CONFIG_HOME=") + m_folder.filePath(QStringLiteral("config")),
                           QStringLiteral("XDG_DATA_HOME=") + m_folder.filePath(QStringLiteral("data"))}
        + mode + QStringList{QStringLiteral("--interface"), interfaceName} + options;
    }

    void start(const QStringList &options, bool windowed = false, const QString &interfaceName = QStringLiteral("lo"))
    {
        const QStringList line = commandLine(options, windowed, interfaceName);
        m_run.start(line.first(), line.mid(1));
        ASSERT_TRUE(m_run.waitForStarted());
    }

    QByteArray processesLeft() const
    {
        QProcess left;
        left.start(QStringLiteral("ip"),
                   {QStringLiteral("netns"), QStringLiteral("pids"), QString::fromStdString(m_network.name())});
        left.waitForFinished(5000);
        return left.readAllStandardOutput();
    }

    // Once the capture tool runs beside the application in the namespace.
    bool waitUntilCapturing() const
    {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && processesLeft().count('\n') < 2)
            QThread::msleep(50);
        return !deadline.hasExpired();
    }

    // Once the capture tool in the namespace sleeps in poll: it has opened its interface.
    bool waitUntilToolOpened() const
    {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            for (const QByteArray &pid : processesLeft().split('\n')) {
                QFile name(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
                if (!pid.isEmpty() && name.open(QIODevice::ReadOnly) && name.readAll() == "Netsiphon\n")
                    return waitUntilPolling(static_cast<pid_t>(pid.toInt()));
            }
            QThread::msleep(50);
        }
        return false;
    }

    // Reads lines until one satisfies `wanted`, or the time is up; `nudge` runs meanwhile (to
    // send traffic while the capture comes up).
    QByteArray lineWhere(
        const std::function<bool(const QByteArray &)> &wanted, const std::function<void()> &nudge = [] {})
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
    EXPECT_EQ(processesLeft(), "") << "a process was left in the namespace";
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(":7101 - destination: "));
}

// The stream still live at the end reaches the file --history names, as `quillmere history`
// shows; where history goes is said once. --no-history keeps none, not even in the data folder.
TEST_F(HeadlessRunTest, HistoryGoesToTheFileNamedOrNowhere)
{
    const QString path = m_folder.filePath(QStringLiteral("kept.sqlite"));
    start({QStringLiteral("--json"), QStringLiteral("--history"), path});
    ASSERT_FALSE(lineWhere([](const QByteArray &line) { return line.contains(":7101\""); },
                           [&] { sendUdp(m_sender, kLoopback, 7102, 100); })
                     .isEmpty());
    const QByteArray told = ("History is kept in " + path).toUtf8();
    QByteArray said;
    for (const QDeadlineTimer deadline(10000); !deadline.hasExpired() && !said.contains(told);) {
        m_run.waitForReadyRead(100);
        said += m_run.readAllStandardError();
    }
    EXPECT_EQ(endWithSignal(), 0);
    said += m_run.readAllStandardError();
    EXPECT_EQ(said.count(told), 1) << said.toStdString();
    QProcess history;
    history.start(kApplication,
                  {QStringLiteral("history"), QStringLiteral("--history"), path, QStringLiteral("--by"),
                   QStringLiteral("stream"), QStringLiteral("--json")});
    ASSERT_TRUE(history.waitForFinished(10000));
    EXPECT_TRUE(history.readAllStandardOutput().contains(":7101\"")) << history.readAllStandardError().toStdString();

    start({QStringLiteral("--no-history")});
    EXPECT_FALSE(lineWhere([](const QByteArray &line) { return line.contains(":7101 "); },
                           [&] { sendUdp(m_sender, kLoopback, 7102, 10); })
                     .isEmpty());
    EXPECT_EQ(endWithSignal(), 0);
    EXPECT_FALSE(QFile::exists(m_folder.filePath(QStringLiteral("data/Quillmere/history.sqlite"))));
}

TEST_F(HeadlessRunTest, TheTableHasAHeaderAndTheStreamsAndAClosedReaderEndsIt)
{
    start({});
    EXPECT_FALSE(lineWhere([](const QByteArray &line) {
                     return line.startsWith("Source") && line.contains("  Destination  ");
                 }).isEmpty());
    EXPECT_FALSE(lineWhere([](const QByteArray &line) { return line.contains(":7101 ") && line.contains(" UDP "); },
                           [&] { sendUdp(m_sender, kLoopback, 7102, 10); })
                     .isEmpty());
    EXPECT_EQ(endWithSignal(), 0);
    // --interval is for this run only: it never reaches the settings file.
    QFile settings(m_folder.filePath(QStringLiteral("config/Quillmere/Quillmere.conf")));
    EXPECT_FALSE(settings.open(QIODevice::ReadOnly) && settings.readAll().contains("UpdateInterval"));

    QProcess piped;
    piped.start(
        QStringLiteral("bash"),
        {QStringLiteral("-c"), commandLine({}).join(u' ') + QStringLiteral(" | head -1; exit ${PIPESTATUS[0]}")});
    ASSERT_TRUE(piped.waitForFinished(10000));
    EXPECT_EQ(piped.exitCode(), 0) << piped.readAllStandardError().toStdString();
    // Piped, the block starts with its time line and has no terminal controls.
    const QByteArray first = piped.readAllStandardOutput();
    EXPECT_TRUE(first.contains("  lo  Streams: ")) << first.toStdString();
    EXPECT_FALSE(first.contains('\x1b'));
}

// The tool notices the interface is gone and says so; the run ends with its reason.
TEST_F(HeadlessRunTest, ARemovedInterfaceEndsTheRunWithStatusOneAndTheReason)
{
    ASSERT_TRUE(m_network.run("ip link add qmv0 type veth peer name qmv1"));
    ASSERT_TRUE(m_network.run("ip link set qmv0 up"));
    start({}, false, QStringLiteral("qmv0"));
    ASSERT_TRUE(waitUntilToolOpened()) << m_run.readAllStandardError().toStdString();
    ASSERT_TRUE(m_network.run("ip link del qmv0"));
    ASSERT_TRUE(m_run.waitForFinished(2000)) << "still running on a removed interface";
    EXPECT_EQ(m_run.exitCode(), 1);
    const QByteArray said = m_run.readAllStandardError();
    EXPECT_TRUE(said.endsWith("quillmere: qmv0: the interface has been removed; the capture has ended\n"))
        << said.toStdString();
    EXPECT_EQ(processesLeft(), "") << "a process was left in the namespace";
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

// As with "quillmere --headless ... | (sleep 1000)": a reader that takes nothing more.
TEST_F(HeadlessRunTest, SigtermEndsARunWhoseOutputHasStalledAtOnce)
{
    const QByteArray fifo = QFile::encodeName(m_folder.filePath(QStringLiteral("output")));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    const OwnedDescriptor reader(::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    {
        const OwnedDescriptor filler(::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        const std::vector<char> block(4096, 'x');
        while (::write(filler.get(), block.data(), block.size()) > 0) { }
    }
    m_run.setStandardOutputFile(QFile::decodeName(fifo));
    start({});
    ASSERT_TRUE(waitUntilCapturing()) << m_run.readAllStandardError().toStdString();
    // A few tables are due meanwhile, none of which fits.
    QThread::msleep(1000);

    QElapsedTimer ending;
    ending.start();
    ::kill(static_cast<pid_t>(m_run.processId()), SIGTERM);
    // It ends at once; the margin is for sanitizer builds on a busy machine, while a run
    // that ignores the signal never ends.
    EXPECT_TRUE(m_run.waitForFinished(5000)) << "still running 5 s after SIGTERM";
    EXPECT_LT(ending.elapsed(), 5000);
    EXPECT_EQ(m_run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_run.exitCode(), 0);
    EXPECT_EQ(processesLeft(), "") << "a process was left in the namespace";
}

// Quitting by signal, as a session's end or a service manager does: logs and tools end as
// they do when the person quits.
TEST_F(HeadlessRunTest, TheWindowModeQuitsOnSigtermAndLeavesNoToolBehind)
{
    if (!QUILLMERE_HAS_WINDOWS)
        GTEST_SKIP() << "built without windows";
    start({}, true);
    ASSERT_TRUE(waitUntilCapturing()) << m_run.readAllStandardError().toStdString();
    EXPECT_EQ(endWithSignal(), 0) << m_run.readAllStandardError().toStdString();
    EXPECT_EQ(processesLeft(), "") << "a process was left in the namespace";
}

// In a folder such as /tmp a link planted at the log's name would have root create or append
// to a file anywhere, and a named pipe would hold the run before it starts.
TEST(HeadlessLog, APlantedLinkOrNamedPipeInASharedFolderIsRefusedAtOnce)
{
    QTemporaryDir folder;
    const QString shared = folder.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString target = folder.filePath(QStringLiteral("chosen-by-another.txt"));
    const QString link = shared + QStringLiteral("/link.txt");
    const QString pipe = shared + QStringLiteral("/pipe.txt");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString &planted : {link, pipe}) {
        SCOPED_TRACE(planted.toStdString());
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUILLMERE_SUPPORT_DIR"), folder.filePath(QStringLiteral("support")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("config")));
        run.setProcessEnvironment(environment);
        run.start(kApplication,
                  {QStringLiteral("--headless"), QStringLiteral("--interface"), QStringLiteral("lo"),
                   QStringLiteral("--log"), planted});
        ASSERT_TRUE(run.waitForFinished(5000)) << "the run hangs";
        EXPECT_EQ(run.exitCode(), 1);
        EXPECT_TRUE(run.readAllStandardError().contains("quillmere: Cannot log to " + planted.toUtf8() + ": "));
    }
    EXPECT_FALSE(QFile::exists(target));
}

TEST(HeadlessUsage, UsageErrorsExitWithTwoAndHelpAndVersionWithZero)
{
    const std::vector<std::pair<QStringList, int>> cases{
        {{QStringLiteral("--headless")}, 2},
        {{QStringLiteral("--frobnicate")}, 2},
        {{QStringLiteral("--headless"), QStringLiteral("--interface"), QStringLiteral("lo"),
          QStringLiteral("--interval"), QStringLiteral("-1")},
         2},
        {{QStringLiteral("--headless"), QStringLiteral("--interface"), QStringLiteral("lo"), QStringLiteral("--group"),
          QStringLiteral("process")},
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

// A server with the window-less package only, or a build without windows: the window mode
// says so at once instead of failing to find a display library.
TEST(WindowMode, WithoutTheWindowProgramItSaysHowToRunWithoutOne)
{
    QTemporaryDir bundle;
    QDir layout(bundle.path());
    ASSERT_TRUE(layout.mkpath(QStringLiteral("bin")));
    const QString program = layout.filePath(QStringLiteral("bin/quillmere"));
    ASSERT_TRUE(QFile::copy(kApplication, program));
    QProcess run;
    run.start(program, {QStringLiteral("--interface"), QStringLiteral("lo")});
    ASSERT_TRUE(run.waitForFinished(5000));
    EXPECT_EQ(run.exitCode(), 2);
    const QByteArray said = run.readAllStandardError();
    EXPECT_TRUE(said.startsWith("quillmere: This installation of Quillmere has no windows (")) << said.toStdString();
    EXPECT_TRUE(said.contains("quillmere --headless --interface NAME")) << said.toStdString();
}

// At a console or over ssh: Qt would abort, so the window mode says how to run without one.
TEST(WindowMode, WithoutADisplayItSaysHowToRunWithoutOne)
{
    if (!QUILLMERE_HAS_WINDOWS)
        GTEST_SKIP() << "built without windows";
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name :
         {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("QT_QPA_PLATFORM")})
        environment.remove(name);
    run.setProcessEnvironment(environment);
    run.start(kApplication, {QStringLiteral("--interface"), QStringLiteral("lo")});
    ASSERT_TRUE(run.waitForFinished(5000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 2);
    const QByteArray said = run.readAllStandardError();
    EXPECT_TRUE(said.startsWith("quillmere: There is no display to open a window on")) << said.toStdString();
    EXPECT_TRUE(said.contains("quillmere --headless --interface NAME")) << said.toStdString();
}
