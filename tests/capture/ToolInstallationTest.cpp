// SPDX-License-Identifier: MIT
#include "capture/ToolInstallation.h"

#include "CaptureTestSupport.h"
#include "platform/SystemElevation.h"
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class ToolInstallationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root: installs a set-user-ID tool";
        ensureApplicationAndPrivatePreferences();
        qputenv("QUILLMERE_SUPPORT_DIR", m_folder.path().toUtf8());
    }
    void TearDown() override { qunsetenv("QUILLMERE_SUPPORT_DIR"); }

    struct stat installedStatus() const
    {
        struct stat status {};
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
    Result runAsRoot(const QString &, const QStringList &) override { return {Outcome::Dismissed, -1}; }
};

} // namespace

TEST_F(ToolInstallationTest, ACurrentCopyIsLeftAloneAndAnyDifferenceReinstalls)
{
    ASSERT_TRUE(m_installation.ensureCurrent()) << m_installation.failureText().toStdString();
    EXPECT_EQ(m_elevation.runs, 1);
    const QString installed = ToolInstallation::toolPath();
    EXPECT_EQ(installed, m_folder.path() + QStringLiteral("/Quillmere/Netsiphon"));
    EXPECT_EQ(installedStatus().st_mode & 07777, 04555u);
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

TEST(ToolInstallationDigest, Md5OfKnownTexts)
{
    EXPECT_EQ(md5Hash("").toHex(), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hash("The quick brown fox jumps over the lazy dog").toHex(), "9e107d9d372bb6826bd81d3542a419d6");
}
