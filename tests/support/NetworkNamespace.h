// SPDX-License-Identifier: MIT
#pragma once

// A private network namespace for live capture tests, so only the test's own frames reach
// the interfaces the tool watches. Created with `ip netns add`, its loopback brought up and
// IPv6 switched off (no router solicitations or other chatter); deleted in the destructor,
// also when a test fails half-way.

#include <functional>
#include <string>
#include <vector>

class NetworkNamespace
{
public:
    NetworkNamespace();
    ~NetworkNamespace();
    NetworkNamespace(const NetworkNamespace &) = delete;
    NetworkNamespace &operator=(const NetworkNamespace &) = delete;

    // Empty when the namespace could be made; otherwise why not.
    const std::string &failure() const { return m_failure; }
    const std::string &name() const { return m_name; }

    // Runs a shell command inside the namespace; true on exit status 0.
    bool run(const std::string &command) const;
    // The command line that starts a program inside the namespace.
    std::vector<std::string> commandLine(const std::vector<std::string> &program) const;
    // Runs work with the calling thread inside the namespace: sockets and devices it makes
    // stay in the namespace afterwards.
    void inside(const std::function<void()> &work) const;

private:
    std::string m_name;
    std::string m_failure;
    bool m_created = false;
};
