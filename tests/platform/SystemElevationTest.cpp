// SPDX-License-Identifier: MIT
#include "platform/SystemElevation.h"

#include "TestApplication.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

// An installer the person could have replaced is never offered to an administrator: what an
// approved run would execute as root is whatever stands there by then.
TEST(SystemElevation, AProgramOthersThanRootCanChangeIsNeverOfferedForApproval)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: acts as another user, with root to return to";
    QTemporaryDir bundle;
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/true"), bundle.filePath(QStringLiteral("Rootmantle"))));
    ASSERT_EQ(chown(QFile::encodeName(bundle.path()).constData(), 65534, 65534), 0);
    const QString installer = QDir(bundle.path()).canonicalPath() + QStringLiteral("/Rootmantle");
    ASSERT_EQ(seteuid(65534), 0);
    const Elevation::Result result = SystemElevation().runAsRoot(installer, {}, QStringLiteral("Testing"));
    ASSERT_EQ(seteuid(0), 0);
    EXPECT_EQ(result.outcome, Elevation::Outcome::NotProtected);
    EXPECT_TRUE(result.refusal.endsWith(QStringLiteral(" is not a folder only root can write")))
        << result.refusal.toStdString();
}

// pkexec ends with the status of a refusal when it cannot reach polkit at all; the person
// must hear that nobody could be asked, and what to do then.
TEST(SystemElevation, PkexecThatCannotReachPolkitIsNoWayToAskNotARefusal)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: acts as another user, with root to return to";
    if (QFile::exists(QStringLiteral("/run/dbus/system_bus_socket")))
        GTEST_SKIP() << "a system bus runs here, so polkit may answer";
    testApplication(); // the wait for pkexec runs an event loop
    ASSERT_EQ(seteuid(65534), 0);
    const Elevation::Result result
        = SystemElevation().runAsRoot(QStringLiteral("/usr/bin/true"), {}, QStringLiteral("Testing"));
    ASSERT_EQ(seteuid(0), 0);
    EXPECT_EQ(result.outcome, Elevation::Outcome::NoWayToBecomeRoot);
    EXPECT_EQ(result.exitStatus, SystemElevation::kNotAuthorizedStatus);
}
