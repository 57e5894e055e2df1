// SPDX-License-Identifier: MIT
#include "logging/FILEAppendWrapper.h"

#include "LoggingTestFiles.h"
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>

#include <spawn.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class FILEAppendWrapperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        setSystemLogSink([this](const QString &message) { m_systemLog << message; });
    }
    void TearDown() override { setSystemLogSink({}); }

    QString pathIn(const QString &name) const { return m_folder.filePath(name); }

    QTemporaryDir m_folder;
    QStringList m_systemLog;
};

// Points HOME somewhere else for one test, so "~" is known without touching the real home.
class ScopedHome
{
public:
    explicit ScopedHome(const QString &home)
        : m_saved(qgetenv("HOME"))
    {
        qputenv("HOME", QFile::encodeName(home));
    }
    ~ScopedHome() { qputenv("HOME", m_saved); }
    ScopedHome(const ScopedHome &) = delete;
    ScopedHome &operator=(const ScopedHome &) = delete;

private:
    QByteArray m_saved;
};

} // namespace

TEST_F(FILEAppendWrapperTest, OnePathSharesOneWrapperUntilTheLastHolderLetsGo)
{
    const QString path = pathIn(QStringLiteral("shared.txt"));
    std::shared_ptr<FILEAppendWrapper> first = FILEAppendWrapper::wrapperAtPath(path);
    ASSERT_TRUE(first);
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFile(path).size(), 0) << "a missing file is created empty";

    std::shared_ptr<FILEAppendWrapper> second = FILEAppendWrapper::wrapperAtPath(path);
    EXPECT_EQ(second, first);
    ASSERT_TRUE(first->appendLine("one\n"));

    first.reset();
    ASSERT_TRUE(second->appendLine("two\n"));
    const std::weak_ptr<FILEAppendWrapper> lastHeld = second;
    second.reset();
    EXPECT_TRUE(lastHeld.expired()) << "the registry must not keep the wrapper alive";

    // Opened afresh, the file keeps its content and new lines follow it.
    std::shared_ptr<FILEAppendWrapper> reopened = FILEAppendWrapper::wrapperAtPath(path);
    ASSERT_TRUE(reopened);
    ASSERT_TRUE(reopened->appendLine("three\n"));
    EXPECT_EQ(readWholeFile(path), QByteArray("one\ntwo\nthree\n"));
    EXPECT_TRUE(m_systemLog.isEmpty());
}

TEST_F(FILEAppendWrapperTest, SpellingsOfOnePathStandardizeToOneKey)
{
    ASSERT_TRUE(QDir(m_folder.path()).mkpath(QStringLiteral("real/deeper")));
    ASSERT_TRUE(QFile::link(pathIn(QStringLiteral("real/deeper")), pathIn(QStringLiteral("link"))));
    const QString root = QFileInfo(m_folder.path()).canonicalFilePath();
    const ScopedHome home(root);

    const QString plain = root + QStringLiteral("/log.txt");
    EXPECT_EQ(FILEAppendWrapper::standardizedPath(QStringLiteral("~/log.txt")), plain);
    EXPECT_EQ(FILEAppendWrapper::standardizedPath(QStringLiteral("~")), root);
    EXPECT_EQ(FILEAppendWrapper::standardizedPath(root + QStringLiteral("//real/./..///log.txt/")), plain);
    // ".." after a symbolic link is the link target's parent, as for the kernel.
    EXPECT_EQ(FILEAppendWrapper::standardizedPath(root + QStringLiteral("/link/../log.txt")),
              root + QStringLiteral("/real/log.txt"));
    EXPECT_EQ(FILEAppendWrapper::standardizedPath(QStringLiteral("/../tmp")), QStringLiteral("/tmp"));
    EXPECT_EQ(FILEAppendWrapper::standardizedPath(QStringLiteral("./a//b/../c")), QStringLiteral("a/b/../c"));
    EXPECT_EQ(FILEAppendWrapper::standardizedPath(QStringLiteral("~no-such-user-here/x")),
              QStringLiteral("~no-such-user-here/x"));

    std::shared_ptr<FILEAppendWrapper> byTilde = FILEAppendWrapper::wrapperAtPath(QStringLiteral("~/log.txt"));
    std::shared_ptr<FILEAppendWrapper> byParent
        = FILEAppendWrapper::wrapperAtPath(root + QStringLiteral("/real/deeper/../../log.txt"));
    ASSERT_TRUE(byTilde);
    EXPECT_EQ(byParent, byTilde);
    EXPECT_EQ(byTilde->path(), plain);
}

TEST_F(FILEAppendWrapperTest, UnopenablePathsGiveNothingAndOneLogLine)
{
    // The tests run as root, which write protection does not stop, so the unopenable files
    // here are ones not even root can open for writing: a folder, a path through a regular
    // file, a folder that does not exist, and a named pipe that nobody reads (which must
    // fail rather than wait for a reader).
    ASSERT_TRUE(QFile(pathIn(QStringLiteral("regular"))).open(QIODevice::WriteOnly));
    ASSERT_EQ(mkfifo(QFile::encodeName(pathIn(QStringLiteral("pipe"))).constData(), 0600), 0);
    const QStringList unopenable{m_folder.path(), pathIn(QStringLiteral("regular/log.txt")),
                                 pathIn(QStringLiteral("missing/log.txt")), pathIn(QStringLiteral("pipe"))};
    for (const QString &path : unopenable) {
        m_systemLog.clear();
        EXPECT_FALSE(FILEAppendWrapper::wrapperAtPath(path)) << path.toStdString();
        EXPECT_EQ(m_systemLog, QStringList{QStringLiteral("Couldn't open file at ") + path});
    }
    EXPECT_FALSE(QFile::exists(pathIn(QStringLiteral("missing"))));

    // Once the folder exists the same path opens: the failure left nothing registered.
    ASSERT_TRUE(QDir(m_folder.path()).mkdir(QStringLiteral("missing")));
    EXPECT_TRUE(FILEAppendWrapper::wrapperAtPath(pathIn(QStringLiteral("missing/log.txt"))));

    // A NUL would cut the name short at "cut" and open that file instead.
    m_systemLog.clear();
    EXPECT_FALSE(FILEAppendWrapper::wrapperAtPath(pathIn(QStringLiteral("cut")) + QChar(u'\0') + QStringLiteral("x")));
    EXPECT_FALSE(QFile::exists(pathIn(QStringLiteral("cut"))));
    EXPECT_EQ(m_systemLog.size(), 1);
}

// Write protection does not stop root, so as root the open is tried by a child that has
// become the unprivileged user nobody.
TEST_F(FILEAppendWrapperTest, AWriteProtectedFileIsNotOpenedAndKeepsItsContent)
{
    const QString path = pathIn(QStringLiteral("protected.txt"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("kept\n");
    }
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    ASSERT_EQ(chmod(QFile::encodeName(m_folder.path()).constData(), 0755), 0);

    const auto refused = [&] {
        return !FILEAppendWrapper::wrapperAtPath(path)
            && m_systemLog == QStringList{QStringLiteral("Couldn't open file at ") + path};
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(refused());
    } else {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            constexpr uid_t kNobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
                _exit(2);
            _exit(refused() ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2) << "could not become nobody";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a write-protected file was opened, or the log line differs";
    }
    EXPECT_EQ(readWholeFile(path), QByteArray("kept\n"));
}

namespace {
bool sigpipeBlockedOrPending()
{
    sigset_t set;
    pthread_sigmask(SIG_BLOCK, nullptr, &set);
    if (sigismember(&set, SIGPIPE) == 1)
        return true;
    sigpending(&set);
    return sigismember(&set, SIGPIPE) == 1;
}

// Logs into a named pipe whose reader then goes away, as when the program reading the log
// ends; exits 0 when the write has been tried and the process lives on unchanged.
[[noreturn]] void appendToAPipeWhoseReaderHasGone(const QString &fifo)
{
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    const std::shared_ptr<FILEAppendWrapper> wrapper = FILEAppendWrapper::wrapperAtPath(fifo);
    if (reader < 0 || !wrapper)
        std::exit(2);
    ::close(reader);
    const bool tried = wrapper->appendLine("lost\n") && wrapper->waitUntilWritten(std::chrono::seconds(5));
    std::exit(tried && !sigpipeBlockedOrPending() ? 0 : 1);
}
} // namespace

// The default action of SIGPIPE would end the whole application over one log line.
TEST_F(FILEAppendWrapperTest, APipeWithoutAReaderFailsTheLineWithoutEndingTheProcess)
{
    const QString fifo = pathIn(QStringLiteral("pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(appendToAPipeWhoseReaderHasGone(fifo), ::testing::ExitedWithCode(0), "");
}

// With the kernel's link protections off, another user's link or file planted at a log's
// name in a folder such as /tmp would have the log appended to a file of their choosing.
TEST_F(FILEAppendWrapperTest, InAStickyFolderForEverybodyOnlyOwnFilesOpen)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: the planted file belongs to another user";
    const QString shared = pathIn(QStringLiteral("shared"));
    ASSERT_TRUE(QDir(m_folder.path()).mkdir(QStringLiteral("shared")));
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString victim = pathIn(QStringLiteral("victim.txt"));
    ASSERT_TRUE(QFile(victim).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(victim, shared + QStringLiteral("/link.txt")));
    const QString theirs = shared + QStringLiteral("/theirs.txt");
    ASSERT_TRUE(QFile(theirs).open(QIODevice::WriteOnly));
    ASSERT_EQ(chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);

    for (const QString &planted : {shared + QStringLiteral("/link.txt"), theirs}) {
        m_systemLog.clear();
        EXPECT_FALSE(FILEAppendWrapper::wrapperAtPath(planted)) << planted.toStdString();
        EXPECT_EQ(m_systemLog, QStringList{QStringLiteral("Couldn't open file at ") + planted});
    }
    EXPECT_TRUE(FILEAppendWrapper::wrapperAtPath(shared + QStringLiteral("/own.txt")));
    // Elsewhere a link at the name is followed as ever.
    ASSERT_TRUE(QFile::link(victim, pathIn(QStringLiteral("link.txt"))));
    EXPECT_TRUE(FILEAppendWrapper::wrapperAtPath(pathIn(QStringLiteral("link.txt"))));
}

namespace {
// What "ls -l <folder>" started now as a child writes on its standard output.
QByteArray longListingOf(const char *folder)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    char *const argv[] = {const_cast<char *>("ls"), const_cast<char *>("-l"), const_cast<char *>(folder), nullptr};
    pid_t child = -1;
    const bool started = posix_spawn(&child, "/bin/ls", &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    QFile reader;
    QByteArray output;
    if (reader.open(ends[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        output = reader.readAll();
    if (started)
        waitpid(child, nullptr, 0);
    return output;
}
} // namespace

// The capture tool the application starts runs as root and must not be handed the log.
TEST_F(FILEAppendWrapperTest, AChildStartedWhileALogIsOpenDoesNotInheritIt)
{
    const QString path = pathIn(QStringLiteral("open.log"));
    const std::shared_ptr<FILEAppendWrapper> wrapper = FILEAppendWrapper::wrapperAtPath(path);
    ASSERT_TRUE(wrapper);
    const QByteArray descriptors = longListingOf("/proc/self/fd");
    ASSERT_TRUE(descriptors.contains(" -> ")) << "no descriptors listed";
    EXPECT_FALSE(descriptors.contains(QFile::encodeName(QFileInfo(path).canonicalFilePath())))
        << descriptors.toStdString();
}
