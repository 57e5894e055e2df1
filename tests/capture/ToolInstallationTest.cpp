// SPDX-License-Identifier: MIT
#include "capture/ToolInstallation.h"

#include "CaptureTestSupport.h"
#include "NetworkNamespace.h"
#include "PrivateSystemFolders.h"
#include "TestSockets.h"
#include "ToolProcess.h"
#include "platform/Bundle.h"
#include "platform/SystemElevation.h"
#include "platform/SystemLog.h"
#include "tools/common/RootOnlyPath.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr uid_t kNobody = 65534;
// A group nobody is not in, with no name.
constexpr gid_t kOtherGroup = 4242;

// This process acts as the user nobody, with only the supplementary groups given, while this
// lives; root stays its real and saved user, so it can be root again.
class ActingAsNobody
{
public:
    explicit ActingAsNobody(std::vector<gid_t> groups = {})
    {
        m_acting = setgroups(groups.size(), groups.data()) == 0 && setegid(kNobody) == 0 && seteuid(kNobody) == 0;
    }
    ~ActingAsNobody() { becomeRoot(); }
    ActingAsNobody(const ActingAsNobody &) = delete;
    ActingAsNobody &operator=(const ActingAsNobody &) = delete;

    bool acting() const { return m_acting; }
    static void becomeRoot()
    {
        if (seteuid(0) != 0 || setegid(0) != 0 || setgroups(0, nullptr) != 0)
            std::abort();
    }

private:
    bool m_acting = false;
};

// What pkexec does once an administrator approved (or not): the program runs as root, with
// the id of who asked in PKEXEC_UID. Every request is recorded.
class PkexecLikeElevation final : public Elevation
{
public:
    explicit PkexecLikeElevation(bool approves)
        : m_approves(approves)
    {
    }

    Result runAsRoot(const QString &program, const QStringList &arguments, const QString &purpose) override
    {
        requests << arguments.first();
        purposes << purpose;
        if (!m_approves)
            return {Outcome::NotAuthorized, 127};
        const uid_t asking = geteuid();
        const std::vector<gid_t> groups = currentGroups();
        const gid_t group = getegid();
        ActingAsNobody::becomeRoot();
        qputenv("PKEXEC_UID", QByteArray::number(asking));
        const Result result = SystemElevation().runAsRoot(program, arguments, purpose);
        qunsetenv("PKEXEC_UID");
        if (setgroups(groups.size(), groups.data()) != 0 || setegid(group) != 0 || seteuid(asking) != 0)
            std::abort();
        return result;
    }

    QStringList requests;
    QStringList purposes;

private:
    static std::vector<gid_t> currentGroups()
    {
        std::vector<gid_t> groups(static_cast<std::size_t>(getgroups(0, nullptr)));
        groups.resize(static_cast<std::size_t>(std::max(getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
        return groups;
    }

    bool m_approves;
};

class ToolInstallationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root: installs a set-user-ID tool";
        if (const std::string why = PrivateSystemFolders::enter(); !why.empty())
            GTEST_SKIP() << why;
        ensureApplicationAndPrivatePreferences();
        // Others may look into the support folder, as into the machine's.
        QFile::setPermissions(m_folder.path(), QFile::permissions(m_folder.path()) | QFile::ExeOther | QFile::ExeGroup);
        qputenv("QUILLMERE_SUPPORT_DIR", m_folder.path().toUtf8());
    }
    void TearDown() override { qunsetenv("QUILLMERE_SUPPORT_DIR"); }

    // Runs for another user go only into the support folder the installer was built for; a
    // fresh one of the test's own, from an installer only root can change.
    std::string useBuiltInSupportFolder(bool keepsNoAcl = false)
    {
        qunsetenv("QUILLMERE_SUPPORT_DIR");
        if (const std::string why
            = refusalOfRootProgram(QFile::encodeName(Bundle::pathForTool(QStringLiteral("Rootmantle"))).toStdString());
            !why.empty())
            return why;
        return PrivateSystemFolders::emptyFolderAt(QUILLMERE_SUPPORT_DIR, keepsNoAcl);
    }

    struct stat installedStatus() const
    {
        struct stat status = {};
        ::stat(QFile::encodeName(ToolInstallation::toolPath()).constData(), &status);
        return status;
    }

    QTemporaryDir m_folder;
    CountingElevation m_elevation;
    ToolInstallation m_installation{m_elevation};
};

class DismissingElevation final : public Elevation
{
public:
    Result runAsRoot(const QString &, const QStringList &, const QString &) override
    {
        return {Outcome::Dismissed, -1};
    }
};

} // namespace

TEST_F(ToolInstallationTest, ACurrentCopyIsLeftAloneAndAnyDifferenceReinstalls)
{
    ASSERT_TRUE(m_installation.ensureCurrent()) << m_installation.failureText().toStdString();
    EXPECT_EQ(m_elevation.runs, 1);
    const QString installed = ToolInstallation::toolPath();
    EXPECT_EQ(installed, m_folder.path() + QStringLiteral("/Quillmere/Netsiphon"));
    EXPECT_EQ(installedStatus().st_mode & 07777, 04750u);
    EXPECT_EQ(installedStatus().st_uid, 0u);
    const ino_t firstCopy = installedStatus().st_ino;
    ASSERT_TRUE(m_installation.ensureCurrent());
    EXPECT_EQ(m_elevation.runs, 1);
    EXPECT_EQ(installedStatus().st_ino, firstCopy);

    const QByteArray path = QFile::encodeName(installed);
    const std::vector<std::function<void()>> spoilers{
        [&] { chmod(path.constData(), 0555); },
        [&] { chown(path.constData(), 65534, static_cast<gid_t>(-1)); },
        [&] {
            QFile tool(installed);
            chmod(path.constData(), 04755);
            ASSERT_TRUE(tool.open(QIODevice::Append));
            tool.write("x");
            tool.close();
            chmod(path.constData(), 04555);
        },
    };
    for (const auto &spoil : spoilers) {
        spoil();
        ASSERT_FALSE(ToolInstallation::isCurrent(installed, ToolInstallation::bundledToolPath()));
        ASSERT_TRUE(m_installation.ensureCurrent());
        EXPECT_TRUE(ToolInstallation::isCurrent(installed, ToolInstallation::bundledToolPath()));
    }
    EXPECT_EQ(m_elevation.runs, 4);
}

TEST_F(ToolInstallationTest, ACancelledDialogIsLoggedButNeedsNoWordsForThePerson)
{
    QStringList logged;
    setSystemLogSink([&](const QString &message) { logged << message; });
    DismissingElevation dismissing;
    ToolInstallation installation(dismissing);
    EXPECT_FALSE(installation.ensureCurrent());
    EXPECT_TRUE(installation.failureText().isEmpty());
    EXPECT_EQ(logged, QStringList{"-[StreamCapture setInterface:]:212: Couldn't authorize helper program."});
    setSystemLogSink({});
}

TEST_F(ToolInstallationTest, APersonNotAllowedIsAskedForOnceAndToldHowToGetAccess)
{
    ASSERT_TRUE(m_installation.ensureCurrent()) << m_installation.failureText().toStdString();
    const ino_t installedCopy = installedStatus().st_ino;
    PkexecLikeElevation refusing(false);
    ToolInstallation installation(refusing);
    const ActingAsNobody nobody;
    ASSERT_TRUE(nobody.acting());
    for (int attempt = 1; attempt <= 2; ++attempt) {
        EXPECT_FALSE(installation.ensureCurrent());
        EXPECT_EQ(refusing.requests, QStringList(attempt, QStringLiteral("--grant")));
        EXPECT_TRUE(installation.failureText().contains(QStringLiteral("\"adduser nobody quillmere\"")))
            << installation.failureText().toStdString();
    }
    EXPECT_EQ(refusing.purposes.first(), QStringLiteral("Allow nobody to capture network traffic on this computer"));
    EXPECT_EQ(installedStatus().st_ino, installedCopy);
}

TEST_F(ToolInstallationTest, AnAdministratorsRestrictionIsNeitherReinstalledNorWidened)
{
    ASSERT_TRUE(m_installation.ensureCurrent()) << m_installation.failureText().toStdString();
    const QByteArray path = QFile::encodeName(ToolInstallation::toolPath());
    ASSERT_EQ(chown(path.constData(), 0, kOtherGroup), 0);
    ASSERT_EQ(chmod(path.constData(), 04750), 0);
    const struct stat restricted = installedStatus();
    PkexecLikeElevation refusing(false);
    ToolInstallation installation(refusing);
    {
        const ActingAsNobody member({kOtherGroup});
        EXPECT_TRUE(installation.ensureCurrent()) << installation.failureText().toStdString();
        EXPECT_TRUE(refusing.requests.isEmpty());
    }
    {
        const ActingAsNobody outsider;
        EXPECT_FALSE(installation.ensureCurrent());
        EXPECT_EQ(refusing.requests, QStringList{"--grant"});
    }
    const struct stat after = installedStatus();
    EXPECT_EQ(after.st_ino, restricted.st_ino);
    EXPECT_EQ(after.st_gid, kOtherGroup);
    EXPECT_EQ(after.st_mode & 07777, 04750u);
}

TEST_F(ToolInstallationTest, TheApprovingPersonCapturesAtOnceWithoutLoggingInAgain)
{
    if (const std::string why = useBuiltInSupportFolder(); !why.empty())
        GTEST_SKIP() << why;
    const NetworkNamespace network;
    if (!network.failure().empty())
        GTEST_SKIP() << network.failure();
    PkexecLikeElevation approving(true);
    ToolInstallation installation(approving);
    QString installed;
    {
        const ActingAsNobody nobody;
        ASSERT_TRUE(installation.ensureCurrent()) << installation.failureText().toStdString();
        installed = ToolInstallation::toolPath();
        EXPECT_TRUE(ToolInstallation::isCurrent(installed, ToolInstallation::bundledToolPath()));
    }
    EXPECT_EQ(approving.requests, QStringList{ToolInstallation::bundledToolPath()});
    EXPECT_EQ(installedStatus().st_mode & 07777, 04750u);

    // Started the way the application starts it, by nobody for real, through a second exec.
    ToolProcess tool(network.commandLine({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "/bin/sh",
                                          "-c", "exec \"$0\" \"$@\"", installed.toStdString(), "lo"}));
    const OwnedDescriptor sender = boundUdpSocket(network, 0x7F000001, 40001);
    const OwnedDescriptor sink = boundUdpSocket(network, 0x7F000001, 9);
    EXPECT_TRUE(waitUntilCapturing(tool, [&] { sendUdp(sender, 0x7F000001, 9, 1); })) << tool.standardError();
}

// The installer added nobody to the group instead; until the next login nothing is asked.
TEST_F(ToolInstallationTest, WhereNoAclIsKeptTheApprovingPersonIsToldToLogInAgain)
{
    if (const std::string why = useBuiltInSupportFolder(true); !why.empty())
        GTEST_SKIP() << why;
    PkexecLikeElevation approving(true);
    ToolInstallation installation(approving);
    const ActingAsNobody nobody;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(installation.ensureCurrent());
        EXPECT_EQ(approving.requests, QStringList{ToolInstallation::bundledToolPath()});
        EXPECT_EQ(installation.failureText(),
                  QStringLiteral("nobody has been allowed to capture as a member of the group quillmere, which takes "
                                 "effect at the next login. Log out and in again, then start the capture again."));
    }
}

TEST(ToolInstallationDigest, Md5OfKnownTexts)
{
    EXPECT_EQ(md5Hash("").toHex(), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hash("The quick brown fox jumps over the lazy dog").toHex(), "9e107d9d372bb6826bd81d3542a419d6");
}
