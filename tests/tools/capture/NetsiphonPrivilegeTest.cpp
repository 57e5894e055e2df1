#include "NetworkNamespace.h"
#include "TestSockets.h"
#include "ToolProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
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
    SetuidCopy(const SetuidCopy&) = delete;
    SetuidCopy& operator=(const SetuidCopy&) = delete;

    bool ready() const { return m_ready; }
    const std::string& path() const { return m_path; }

private:
    std::string m_directory;
    std::string m_path;
    bool m_ready = false;
};

std::vector<std::string> statusLines(pid_t pid, const std::vector<std::string>& keys)
{
    std::vector<std::string> found;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        for (const auto& key : keys) {
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
} // namespace

TEST(NetsiphonPrivileges, SetuidCopyRunByAnUnprivilegedUserDropsRootAndStillCaptures)
{
    const NetworkNamespace network;
    if (!network.failure().empty())
        GTEST_SKIP() << network.failure();
    const SetuidCopy copy;
    ASSERT_TRUE(copy.ready()) << "could not make a setuid-root copy of " << kTool;

    ToolProcess tool(network.commandLine(
        {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", copy.path(), "lo"}));
    const OwnedSocket sink = boundUdpSocket(network, kLoopbackAddress, kProbePort);
    const OwnedSocket sender = boundUdpSocket(network, kLoopbackAddress, 40000);
    ASSERT_TRUE(waitUntilCapturing(tool, [&] { sendUdp(sender, kLoopbackAddress, kProbePort, 1); }))
        << tool.standardError();

    ASSERT_EQ(commandName(tool.pid()), "Netsiphon");
    EXPECT_EQ(statusLines(tool.pid(), {"Uid", "Gid", "Groups"}),
              (std::vector<std::string>{"Uid:\t65534\t65534\t65534\t65534", "Gid:\t65534\t65534\t65534\t65534",
                                        "Groups:"}));

    ASSERT_TRUE(sendUdp(sender, kLoopbackAddress, kProbePort, 12));
    const PacketSummary expected{1, 17, kLoopbackAddress, kLoopbackAddress, 40000, kProbePort, 40, 12};
    EXPECT_EQ(tool.readRecords(1, 3s), std::vector{expected});
}

TEST(NetsiphonPrivileges, FileCapabilitiesCopyGivesUpItsCapabilitiesOnceCapturing)
{
    const NetworkNamespace network;
    if (!network.failure().empty())
        GTEST_SKIP() << network.failure();
    const SetuidCopy copy(SetuidCopy::Grant::FileCapabilities);
    if (!copy.ready())
        GTEST_SKIP() << "needs setcap and a file system with capability attributes";

    ToolProcess tool(network.commandLine(
        {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", copy.path(), "lo"}));
    const OwnedSocket sink = boundUdpSocket(network, kLoopbackAddress, kProbePort);
    const OwnedSocket sender = boundUdpSocket(network, kLoopbackAddress, 40000);
    ASSERT_TRUE(waitUntilCapturing(tool, [&] { sendUdp(sender, kLoopbackAddress, kProbePort, 1); }))
        << tool.standardError();

    ASSERT_EQ(commandName(tool.pid()), "Netsiphon");
    EXPECT_EQ(statusLines(tool.pid(), {"CapInh", "CapPrm", "CapEff", "CapAmb"}),
              (std::vector<std::string>{"CapInh:\t0000000000000000", "CapPrm:\t0000000000000000",
                                        "CapEff:\t0000000000000000", "CapAmb:\t0000000000000000"}));
}
