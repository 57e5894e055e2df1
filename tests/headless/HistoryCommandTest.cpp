// SPDX-License-Identifier: MIT
#include "history/HistoryStore.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const QString kApplication = QStringLiteral(QUILLMERE_BUILD_DIR "/bin/quillmere");

// `quillmere history` run as a person runs it, over a store this test wrote: two hosts, one
// of whose programs names itself with a line break, an escape and a formula.
class HistoryCommandTest : public ::testing::Test
{
protected:
    static constexpr char kHostile[] = "=evil\n\x1b[31mred";

    void SetUp() override
    {
        HistoryStore::Options options;
        options.path = path();
        HistoryStore store(options);
        store.record(stream(1, 0x0A000001, QStringLiteral("big.example"), QStringLiteral("firefox"), 5'000'000));
        store.record(stream(2, 0x0A000002, {}, QString::fromUtf8(kHostile), 3000));
        ASSERT_TRUE(store.flush(std::chrono::seconds(30)));
    }

    static HistoryRecord stream(int number, std::uint32_t remote, const QString &host, const QString &program,
                                quint64 bytes)
    {
        HistoryRecord record;
        record.interfaceName = QStringLiteral("eth0");
        record.serial = static_cast<quint64>(number);
        record.lastSeen = Clock::now() - 600.0;
        record.firstSeen = record.lastSeen - 5.0;
        record.protocol = 6;
        record.local = StreamEndpoint::ipv4(0xC0A80102, static_cast<std::uint16_t>(40000 + number));
        record.remote = StreamEndpoint::ipv4(remote, 443);
        record.remoteHostName = host;
        record.remoteServiceName = QStringLiteral("https");
        record.programName = program;
        record.programId = 4242;
        record.upBytes = bytes / 5;
        record.downBytes = bytes - bytes / 5;
        record.closeReason = HistoryRecord::kClosed;
        return record;
    }

    QString path() const { return m_folder.filePath(QStringLiteral("history.sqlite")); }

    struct Run
    {
        int status = -1;
        QByteArray out;
        QByteArray err;
    };
    Run history(const QStringList &options) const
    {
        QProcess run;
        run.start(kApplication, QStringList{QStringLiteral("history")} + options);
        run.waitForFinished(20000);
        return {run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1, run.readAllStandardOutput(),
                run.readAllStandardError()};
    }
    Run historyOfStore(QStringList options) const { return history(options << QStringLiteral("--history") << path()); }

    QTemporaryDir m_folder;
};

} // namespace

TEST_F(HistoryCommandTest, TheTableIsAlignedInHumanUnitsAndHostileTextsAreNeutralised)
{
    const Run byHost = historyOfStore({});
    ASSERT_EQ(byHost.status, 0) << byHost.err.toStdString();
    const QList<QByteArray> lines = byHost.out.split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("host ")) << byHost.out.toStdString();
    EXPECT_TRUE(lines[1].startsWith("big.example  10.0.0.1")) << byHost.out.toStdString();
    EXPECT_TRUE(lines[1].contains("3.8MB")) << byHost.out.toStdString();
    EXPECT_EQ(lines[1].indexOf("3.8MB"), lines[2].indexOf("2.3kB")) << "the columns are aligned";

    const Run byProgram = historyOfStore({QStringLiteral("--by"), QStringLiteral("program")});
    ASSERT_EQ(byProgram.status, 0) << byProgram.err.toStdString();
    EXPECT_EQ(byProgram.out.count('\n'), 3) << "the hostile name breaks no line";
    EXPECT_FALSE(byProgram.out.contains('\x1b'));
}

TEST_F(HistoryCommandTest, JsonLinesUseTheWindowlessNamesAndCsvKeepsFormulasText)
{
    const Run json = historyOfStore({QStringLiteral("--by"), QStringLiteral("stream"), QStringLiteral("--json")});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QList<QByteArray> lines = json.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(first.value(QStringLiteral("destination")).toString(), "big.example:https");
    EXPECT_EQ(first.value(QStringLiteral("source")).toString(), "192.168.1.2:40001");
    EXPECT_EQ(first.value(QStringLiteral("process")).toString(), "firefox (4242)");
    EXPECT_EQ(first.value(QStringLiteral("lifetimeDownBytes")).toDouble(), 4'000'000);
    EXPECT_EQ(first.value(QStringLiteral("interface")).toString(), "eth0");
    EXPECT_EQ(first.value(QStringLiteral("closeReason")).toString(), "closed");
    const QString hostile = QJsonDocument::fromJson(lines[1]).object().value(QStringLiteral("process")).toString();
    EXPECT_FALSE(hostile.contains(u'\n') || hostile.contains(u'\x1b')) << hostile.toStdString();

    const Run csv = historyOfStore({QStringLiteral("--by"), QStringLiteral("program"), QStringLiteral("--csv")});
    ASSERT_EQ(csv.status, 0) << csv.err.toStdString();
    EXPECT_TRUE(csv.out.startsWith("process,streams,lifetimeUpBytes,")) << csv.out.toStdString();
    EXPECT_TRUE(csv.out.contains("\r\n'=evil")) << csv.out.toStdString();
}

TEST_F(HistoryCommandTest, UsageErrorsExitWithTwoAndAMissingStoreSaysWhereItLooked)
{
    const std::vector<std::pair<QStringList, QByteArray>> usage{
        {{QStringLiteral("--by"), QStringLiteral("colour")}, "--by takes"},
        {{QStringLiteral("--top"), QStringLiteral("0")}, "--top takes"},
        {{QStringLiteral("--json"), QStringLiteral("--csv")}, "cannot go together"},
        {{QStringLiteral("--since"), QStringLiteral("yesterday")}, "--since and --until take"},
        {{QStringLiteral("--since"), QStringLiteral("1h"), QStringLiteral("--until"), QStringLiteral("2h")},
         "--since must come before --until"},
        {{QStringLiteral("stray")}, "Unexpected argument: stray"},
    };
    for (const auto &[options, said] : usage) {
        SCOPED_TRACE(options.join(u' ').toStdString());
        const Run run = historyOfStore(options);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.err.contains(said)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    const QString missing = m_folder.filePath(QStringLiteral("none.sqlite"));
    const Run run = history({QStringLiteral("--history"), missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(("There is no history at " + missing).toUtf8())) << run.err.toStdString();
    EXPECT_EQ(history({QStringLiteral("--help")}).status, 0);
}
