// SPDX-License-Identifier: MIT
#include "NetworkNamespace.h"
#include "TestSockets.h"
#include "ToolProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
const std::string kTool = QUILLMERE_BUILD_DIR "/libexec/quillmere/Netsiphon";
constexpr std::uint16_t kProbePort = 9;

// A copy of the tool in a private directory others can traverse: setuid root as installed,
// or given only the capture capabilities as a packager might install it instead.
class SetuidCopy
{
public:
    enum class Grant { SetuidRoot, FileCapabilities };

    explicit SetuidCopy(Grant grant = Grant::SetuidRoot)
    {
        char pattern[] = "/tmp/qm-setuid-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            return;
        m_directory = pattern;
        m_path = m_directory + "/Netsiphon";
        std::error_code error;
        std::filesystem::copy_file(kTool, m_path, error);
        m_ready = !error && chmod(m_directory.c_str(), 0755) == 0 && chown(m_path.c_str(), 0, 0) == 0
            && chmod(m_path.c_str(), grant == Grant::SetuidRoot ? 04755 : 0755) == 0
            && (grant == Grant::SetuidRoot
                || std::system(("setcap cap_net_raw,cap_net_admin=ep " + m_path).c_str()) == 0);
    }
    ~SetuidCopy()
    {
        if (!m_directory.empty())
            std::filesystem::remove_all(m_directory);
    }
    SetuidCopy(const SetuidCopy &) = delete;
    SetuidCopy &operator=(const SetuidCopy &) = delete;

    bool ready() const { return m_ready; }
    const std::string &path() const { return m_path; }

private:
    std::string m_directory;
    std::string m_path;
    bool m_ready = false;
};

std::vector<std::string> statusLines(pid_t pid, const std::vector<std::string> &keys)
{
    std::vector<std::string> found;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        for (const auto &key : keys) {
            if (line.starts_with(key + ":"))
                found.push_back(line.substr(0, line.find_last_not_of(" \t") + 1));
        }
    }
    return found;
}

std::string commandName(pid_t pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// What the unprivileged user nobody runs: the copy, with supplementary groups as given.
std::vector<std::string> asNobody(const std::string &groups, const std::vector<std::string> &program)
{
    std::vector<std::string> commandLine{"setpriv", "--reuid=65534", "--regid=65534", groups};
    commandLine.insert(commandLine.end(), program.begin(), program.end());
    return commandLine;
}

// The copy started by nobody on the namespace's loopback, with a receiving socket for the
// probes and a sender bound to port 40000.
struct CopyRunAsNobody
{
    CopyRunAsNobody(const NetworkNamespace &network, const SetuidCopy &copy,
                    const std::string &groups = "--clear-groups")
        : tool(network.commandLine(asNobody(groups, {copy.path(), "lo"})))
        , sink(boundUdpSocket(network, kLoopbackAddress, kProbePort))
        , sender(boundUdpSocket(network, kLoopbackAddress, 40000))
    {
    }

    // True once a probe's record came back, so the tool has opened, dropped and is capturing.
    bool capturing()
    {
        return waitUntilCapturing(tool, [&] { sendUdp(sender, kLoopbackAddress, kProbePort, 1); });
    }

    ToolProcess tool;
    const OwnedDescriptor sink;
    const OwnedDescriptor sender;
};
} // namespace

TEST(NetsiphonPrivileges, SetuidCopyRunByAnUnprivilegedUserDropsRootAndStillCaptures)
{
    const NetworkNamespace network;
    if (!network.failure().empty())
        GTEST_SKIP() << network.failure();
    const SetuidCopy copy;
    ASSERT_TRUE(copy.ready()) << "could not make a setuid-root copy of " << kTool;

    CopyRunAsNobody run(network, copy);
    ASSERT_TRUE(run.capturing()) << run.tool.standardError();
    ASSERT_EQ(commandName(run.tool.pid()), "Netsiphon");
    EXPECT_EQ(
        statusLines(run.tool.pid(), {"Uid", "Gid", "Groups"}),
        (std::vector<std::string>{"Uid:\t65534\t65534\t65534\t65534", "Gid:\t65534\t65534\t65534\t65534", "Groups:"}));

    // Not dumpable: its /proc entries stay root's, so nobody cannot trace it or read its memory.
    struct stat processEntry = {};
    ASSERT_EQ(stat(("/proc/" + std::to_string(run.tool.pid()) + "/environ").c_str(), &processEntry), 0);
    EXPECT_EQ(processEntry.st_uid, 0u);

    ASSERT_TRUE(sendUdp(run.sender, kLoopbackAddress, kProbePort, 12));
    const PacketSummary expected{1, 17, kLoopbackAddress, kLoopbackAddress, 40000, kProbePort, 40, 12};
    EXPECT_EQ(run.tool.readRecords(1, 3s), std::vector{expected});
}

TEST(NetsiphonPrivileges, SupplementaryGroupsOfTheStarterAreGivenUpToo)
{
    const NetworkNamespace network;
    if (!network.failure().empty())
        GTEST_SKIP() << network.failure();
    const SetuidCopy copy;
    ASSERT_TRUE(copy.ready()) << "could not make a setuid-root copy of " << kTool;

    CopyRunAsNobody run(network, copy, "--groups=0,4");
    ASSERT_TRUE(run.capturing()) << run.tool.standardError();
    EXPECT_EQ(statusLines(run.tool.pid(), {"Groups"}), std::vector<std::string>{"Groups:"});
}

TEST(NetsiphonPrivileges, ABusAddressAsInterfaceNameRunsNothing)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: makes a set-user-ID root copy of the tool";
    const SetuidCopy copy;
    ASSERT_TRUE(copy.ready()) << "could not make a setuid-root copy of " << kTool;
    const std::string marker = "/tmp/qm-unixexec-marker-" + std::to_string(getpid());
    std::filesystem::remove(marker);

    ToolProcess tool(asNobody("--clear-groups",
                              {copy.path(), "dbus://unixexec:path=/bin/sh,argv1=-p,argv2=-c,argv3=id%3e" + marker}));
    EXPECT_EQ(tool.standardError(), "pcap_open_live: not the name of a network interface\n");
    const std::optional<int> status = tool.waitForExit(5s);
    ASSERT_TRUE(status);
    EXPECT_EQ(WEXITSTATUS(*status), 1);
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(NetsiphonPrivileges, FileCapabilitiesCopyGivesUpItsCapabilitiesOnceCapturing)
{
    const NetworkNamespace network;
    if (!network.failure().empty())
        GTEST_SKIP() << network.failure();
    const SetuidCopy copy(SetuidCopy::Grant::FileCapabilities);
    if (!copy.ready())
        GTEST_SKIP() << "needs setcap and a file system with capability attributes";

    CopyRunAsNobody run(network, copy);
    ASSERT_TRUE(run.capturing()) << run.tool.standardError();
    ASSERT_EQ(commandName(run.tool.pid()), "Netsiphon");
    EXPECT_EQ(statusLines(run.tool.pid(), {"CapInh", "CapPrm", "CapEff", "CapAmb"}),
              (std::vector<std::string>{"CapInh:\t0000000000000000", "CapPrm:\t0000000000000000",
                                        "CapEff:\t0000000000000000", "CapAmb:\t0000000000000000"}));
}
