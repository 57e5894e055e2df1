// SPDX-License-Identifier: MIT
#include "tools/installer/InstallerFiles.h"

#include <gtest/gtest.h>

TEST(InstallerPaths, LastPathComponent)
{
    EXPECT_EQ(lastPathComponent("/opt/Quillmere/libexec/Netsiphon"), "Netsiphon");
    EXPECT_EQ(lastPathComponent("Netsiphon"), "Netsiphon");
    EXPECT_EQ(lastPathComponent("dir/"), "");
    EXPECT_EQ(lastPathComponent(""), "");
}

TEST(InstallerPaths, JoinAlwaysInsertsASlash)
{
    EXPECT_EQ(joinPath("/usr/local/libexec/Quillmere", "Netsiphon"), "/usr/local/libexec/Quillmere/Netsiphon");
    EXPECT_EQ(joinPath("/tmp/", "Netsiphon"), "/tmp//Netsiphon");
    EXPECT_EQ(joinPath("", "Netsiphon"), "/Netsiphon");
}

TEST(InstallerPaths, ParentFallsBackToRoot)
{
    EXPECT_EQ(parentPath("/usr/local/libexec"), "/usr/local");
    EXPECT_EQ(parentPath("/usr"), "/");
    EXPECT_EQ(parentPath("/"), "/");
    EXPECT_EQ(parentPath("relative"), "/");
    EXPECT_EQ(parentPath("a/b/"), "a/b");
    EXPECT_EQ(parentPath(""), "/");
}
