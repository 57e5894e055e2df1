// SPDX-License-Identifier: MIT
#include "resolve/EtcServicesDictionary.h"
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {
QString lookUp(const EtcServicesDictionary &table, const char *key)
{
    return table.objectForKey(QString::fromUtf8(key));
}

template <std::size_t N> QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1); // keeps embedded NULs
}

QByteArray longLine(const QByteArray &start, int bytes)
{
    QByteArray line = start;
    for (int alias = 0; line.size() < bytes; ++alias)
        line += " alias" + QByteArray::number(alias);
    return line;
}
} // namespace

TEST(EtcServicesDictionary, StoresTheLastNameForEachPortAndProtocol)
{
    const auto table = EtcServicesDictionary::fromContents("# Network services, Internet style\n"
                                                           "\n"
                                                           "ssh\t\t22/tcp\t\t\t\t# SSH Remote Login Protocol\n"
                                                           "domain\t\t53/udp\t\tnameserver dns\t# Domain Name Server\n"
                                                           "oldname 80/tcp\n"
                                                           "http 80/tcp www\n"
                                                           "lonely\n"
                                                           "   \t  \n"
                                                           "dos-line 77/tcp\r\n"
                                                           "glued 99/tcp#comment\n"
                                                           "last 100/udp");
    EXPECT_EQ(lookUp(table, "22/tcp"), QStringLiteral("ssh"));
    EXPECT_EQ(lookUp(table, "53/udp"), QStringLiteral("domain"));
    EXPECT_EQ(lookUp(table, "80/tcp"), QStringLiteral("http"));
    EXPECT_EQ(lookUp(table, "77/tcp"), QStringLiteral("dos-line"));
    EXPECT_EQ(lookUp(table, "99/tcp"), QStringLiteral("glued"));
    EXPECT_EQ(lookUp(table, "100/udp"), QStringLiteral("last"));
    EXPECT_TRUE(lookUp(table, "22/udp").isNull());
    EXPECT_TRUE(lookUp(table, "22/TCP").isNull()) << "keys compare exactly";
    EXPECT_TRUE(lookUp(table, "nameserver").isNull()) << "aliases are not stored";
    EXPECT_EQ(table.count(), 6);
}

TEST(EtcServicesDictionary, CommentsStartAtAHashWhereverItStands)
{
    const auto table = EtcServicesDictionary::fromContents("  # indented 1/tcp comment\n"
                                                           "\t#tcpmux 1/tcp\n"
                                                           "echo 7/tcp\n");
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(lookUp(table, "7/tcp"), QStringLiteral("echo"));
}

TEST(EtcServicesDictionary, LongLinesAreReadWholeAndMakeNoStrayEntries)
{
    const QByteArray contents = longLine("many 4000/tcp", 3000) + '\n' + longLine("# comment 4001/tcp", 2500) + '\n'
        + longLine(QByteArray(1020, ' ') + "late 4002/tcp", 1100) + '\n' + "after 4003/udp\n";
    const auto table = EtcServicesDictionary::fromContents(contents);
    EXPECT_EQ(lookUp(table, "4000/tcp"), QStringLiteral("many"));
    EXPECT_EQ(lookUp(table, "4002/tcp"), QStringLiteral("late"));
    EXPECT_EQ(lookUp(table, "4003/udp"), QStringLiteral("after"));
    EXPECT_EQ(table.count(), 3) << table.keys().join(QLatin1Char(' ')).toStdString();
}

TEST(EtcServicesDictionary, WordsThatAreNotUtf8SkipTheirLine)
{
    const auto table = EtcServicesDictionary::fromContents(bytes("caf\xc3 8080/tcp\n"
                                                                 "\xff\xfe 8081/tcp\n"
                                                                 "name 8082/t\xc0\xafp\n"
                                                                 "caf\xc3\xa9 8083/tcp\n"
                                                                 "nul\0byte 8084/tcp\n"));
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(lookUp(table, "8083/tcp"), QString::fromUtf8("caf\xc3\xa9"));
}

TEST(EtcServicesDictionary, ReadsAFileAndGivesAnEmptyTableForAMissingOrEmptyOne)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("services"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("ssh 22/tcp\nssh 22/udp\n");
    }
    const EtcServicesDictionary fromFile(path);
    EXPECT_EQ(fromFile.count(), 2);
    EXPECT_EQ(lookUp(fromFile, "22/udp"), QStringLiteral("ssh"));

    const EtcServicesDictionary missing(directory.filePath(QStringLiteral("nothing-here")));
    EXPECT_EQ(missing.count(), 0);
    EXPECT_TRUE(lookUp(missing, "22/tcp").isNull());
    EXPECT_EQ(EtcServicesDictionary::fromContents({}).count(), 0);
}

// An independent reading of the system file: stream extraction of the first two words of
// each line with everything from "#" dropped; the last line for a key wins.
TEST(EtcServicesDictionary, SharedTableMatchesTheSystemServicesFile)
{
    std::ifstream file(EtcServicesDictionary::kSystemServicesPath);
    if (!file)
        GTEST_SKIP() << "no readable /etc/services on this machine (Debian ships it in netbase)";
    std::map<std::string, std::string> expected;
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string name;
        std::string portAndProtocol;
        if (words >> name >> portAndProtocol)
            expected[portAndProtocol] = name;
    }

    const EtcServicesDictionary &shared = EtcServicesDictionary::sharedDictionary();
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(static_cast<std::size_t>(shared.count()), expected.size());
    for (const auto &[portAndProtocol, name] : expected)
        EXPECT_EQ(shared.objectForKey(QString::fromStdString(portAndProtocol)).toStdString(), name) << portAndProtocol;
}

TEST(EtcServicesDictionary, SharedTableIsBuiltOnceWhenManyThreadsAskAtOnce)
{
    std::mutex seenMutex;
    QStringList logged;
    std::set<const EtcServicesDictionary *> seen;
    setSystemLogSink([&](const QString &message) {
        const std::lock_guard lock(seenMutex);
        logged << message;
    });
    std::vector<std::thread> readers;
    for (int reader = 0; reader < 8; ++reader) {
        readers.emplace_back([&] {
            const EtcServicesDictionary *table = &EtcServicesDictionary::sharedDictionary();
            const std::lock_guard lock(seenMutex);
            seen.insert(table);
        });
    }
    for (std::thread &reader : readers)
        reader.join();
    setSystemLogSink({});

    EXPECT_EQ(seen.size(), 1u);
    // Built here, or already by an earlier test in this process.
    EXPECT_TRUE(logged.isEmpty() || logged == (QStringList{QStringLiteral("start"), QStringLiteral("stop")}))
        << logged.join(QLatin1Char(',')).toStdString();
}
