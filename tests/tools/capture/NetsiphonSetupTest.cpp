// SPDX-License-Identifier: MIT
#include "NetworkNamespace.h"
#include "ToolProcess.h"

#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <sys/wait.h>

namespace {
const std::string kTool = QUILLMERE_BUILD_DIR "/libexec/quillmere/Netsiphon";

struct Outcome
{
    std::optional<int> status;
    std::string error;
    std::string output;
};

Outcome runToEnd(const std::vector<std::string> &commandLine)
{
    ToolProcess tool(commandLine);
    Outcome outcome;
    outcome.error = tool.standardError();
    outcome.output = tool.remainingOutput();
    outcome.status = tool.waitForExit(std::chrono::seconds(10));
    return outcome;
}

bool exitedWith(const std::optional<int> &status, int code)
{
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}
} // namespace

TEST(NetsiphonSetup, WrongArgumentCountIsOneLineAndStatusOne)
{
    const Outcome none = runToEnd({kTool});
    EXPECT_EQ(none.error, "number of arguments incorrect: 1 (this should never happen)\n");
    EXPECT_TRUE(exitedWith(none.status, 1));
    EXPECT_EQ(none.output, "");

    const Outcome two = runToEnd({kTool, "lo", "extra"});
    EXPECT_EQ(two.error, "number of arguments incorrect: 3 (this should never happen)\n");
    EXPECT_TRUE(exitedWith(two.status, 1));
    EXPECT_EQ(two.output, "");
}

TEST(NetsiphonSetup, AnOptionOtherThanRecordsTwoIsAUsageErrorThatDoesNotEchoIt)
{
    for (const char *option : {"--records=3", "--records=", "-x\x1b[2J"}) {
        const Outcome outcome = runToEnd({kTool, option, "lo"});
        EXPECT_EQ(outcome.error, "unknown option (usage: Netsiphon [--records=2] <interface>)\n") << option;
        EXPECT_TRUE(exitedWith(outcome.status, 1)) << option;
        EXPECT_EQ(outcome.output, "") << option;
    }
    const Outcome tooMany = runToEnd({kTool, "--records=2", "lo", "extra"});
    EXPECT_EQ(tooMany.error, "number of arguments incorrect: 4 (this should never happen)\n");
    EXPECT_TRUE(exitedWith(tooMany.status, 1));

    const Outcome missing = runToEnd({kTool, "--records=2", "qmnosuch0"});
    EXPECT_EQ(missing.error, "pcap_open_live: qmnosuch0: No such device exists\n");
    EXPECT_TRUE(exitedWith(missing.status, 1));
}

TEST(NetsiphonSetup, MissingInterfaceReportsLibpcapsText)
{
    const Outcome missing = runToEnd({kTool, "qmnosuch0"});
    EXPECT_TRUE(missing.error.starts_with("pcap_open_live: ")) << missing.error;
    EXPECT_GT(missing.error.size(), std::string("pcap_open_live: \n").size());
    EXPECT_EQ(missing.error.find('\n'), missing.error.size() - 1) << "exactly one line: " << missing.error;
    EXPECT_TRUE(exitedWith(missing.status, 1));
    EXPECT_EQ(missing.output, "");
}

TEST(NetsiphonSetup, LinkTypeOutsideTheTableIsRefusedWithLibpcapsDescription)
{
    const NetworkNamespace network;
    if (!network.failure().empty())
        GTEST_SKIP() << network.failure();
    // On Linux the "any" pseudo-interface delivers cooked frames (DLT_LINUX_SLL, 113).
    const Outcome any = runToEnd(network.commandLine({kTool, "any"}));
    EXPECT_EQ(any.error,
              std::string("Link type \"") + pcap_datalink_val_to_description(113) + "\" cannot be decoded\n");
    EXPECT_TRUE(exitedWith(any.status, 1));
    EXPECT_EQ(any.output, "");
}

// "lo:1" names an address label of an interface every machine has, which the kernel would
// take for lo itself.
TEST(NetsiphonSetup, NamesThatAreNoNetworkInterfaceAreRefusedLikeAMissingOne)
{
    const std::vector<std::string> refused{"dbus://unixexec:path=/bin/sh,argv1=-c,argv2=true",
                                           "../../../tmp/x",
                                           "lo/..",
                                           "lo:1",
                                           "..",
                                           "0123456789abcdef",
                                           "dbus-system",
                                           "dbus-session",
                                           "nflog",
                                           "nfqueue",
                                           "usbmon0",
                                           "bluetooth0",
                                           "bluetooth-monitor",
                                           "qmnosuch0",
                                           ""};
    for (const std::string &name : refused) {
        const Outcome outcome = runToEnd({kTool, name});
        EXPECT_TRUE(outcome.error.starts_with("pcap_open_live: ")) << name << ": " << outcome.error;
        EXPECT_EQ(outcome.error.find('\n'), outcome.error.size() - 1) << name << ": " << outcome.error;
        EXPECT_TRUE(exitedWith(outcome.status, 1)) << name;
        EXPECT_EQ(outcome.output, "") << name;
    }
}
