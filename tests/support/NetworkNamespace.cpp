// SPDX-License-Identifier: MIT
#include "NetworkNamespace.h"

#include "tools/common/OwnedDescriptor.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace {
std::atomic<int> namespaceCounter{0};

bool shell(const std::string &command)
{
    return std::system(command.c_str()) == 0;
}

} // namespace

NetworkNamespace::NetworkNamespace()
    : m_name("qm-capture-" + std::to_string(getpid()) + "-" + std::to_string(namespaceCounter++))
{
    if (geteuid() != 0) {
        m_failure = "needs root: creates a network namespace";
        return;
    }
    m_created = shell("ip netns add " + m_name);
    if (!m_created) {
        m_failure = "needs network namespaces: `ip netns add` failed";
        return;
    }
    if (!run("sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1")
        || !run("ip link set lo up"))
        m_failure = "could not set up the loopback interface of the namespace";
}

NetworkNamespace::~NetworkNamespace()
{
    if (m_created)
        shell("ip netns delete " + m_name);
}

bool NetworkNamespace::run(const std::string &command) const
{
    return shell("ip netns exec " + m_name + " " + command + " >/dev/null");
}

std::vector<std::string> NetworkNamespace::commandLine(const std::vector<std::string> &program) const
{
    std::vector<std::string> line{"ip", "netns", "exec", m_name};
    line.insert(line.end(), program.begin(), program.end());
    return line;
}

void NetworkNamespace::inside(const std::function<void()> &work) const
{
    const OwnedDescriptor original(open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC));
    const OwnedDescriptor target(open(("/run/netns/" + m_name).c_str(), O_RDONLY | O_CLOEXEC));
    if (original.get() < 0 || target.get() < 0 || setns(target.get(), CLONE_NEWNET) != 0)
        std::abort();
    work();
    if (setns(original.get(), CLONE_NEWNET) != 0)
        std::abort();
}
