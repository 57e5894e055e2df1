// SPDX-License-Identifier: MIT
#include "ToolProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

std::chrono::milliseconds remainingUntil(Clock::time_point deadline)
{
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

bool waitReadable(int descriptor, std::chrono::milliseconds timeout)
{
    pollfd readable{descriptor, POLLIN, 0};
    return poll(&readable, 1, static_cast<int>(timeout.count())) > 0;
}

// Reads until end of file or, for a process that hangs, until the timeout.
std::string readToEnd(int descriptor, std::chrono::milliseconds timeout)
{
    std::string text;
    const auto deadline = Clock::now() + timeout;
    char chunk[4096];
    while (descriptor >= 0 && waitReadable(descriptor, remainingUntil(deadline))) {
        const ssize_t got = read(descriptor, chunk, sizeof chunk);
        if (got <= 0)
            break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    return text;
}
} // namespace

ToolProcess::ToolProcess(const std::vector<std::string>& commandLine, bool brokenPipeSilenced)
{
    OwnedPipe output;
    OwnedPipe error;
    if (!output.open() || !error.open())
        return;
    std::vector<char*> arguments;
    for (const auto& argument : commandLine)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);

    m_pid = fork();
    if (m_pid == 0) {
        dup2(output.writeEnd.get(), STDOUT_FILENO);
        dup2(error.writeEnd.get(), STDERR_FILENO);
        if (brokenPipeSilenced) {
            sigset_t brokenPipe;
            sigemptyset(&brokenPipe);
            sigaddset(&brokenPipe, SIGPIPE);
            signal(SIGPIPE, SIG_IGN);
            sigprocmask(SIG_BLOCK, &brokenPipe, nullptr);
        }
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    m_output = std::move(output.readEnd);
    m_error = std::move(error.readEnd);
}

ToolProcess::~ToolProcess()
{
    if (m_pid > 0 && !m_status) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

bool ToolProcess::readOutputChunk(std::chrono::milliseconds timeout)
{
    if (!m_output || !waitReadable(m_output.get(), timeout))
        return false;
    char chunk[65536];
    const ssize_t got = read(m_output.get(), chunk, sizeof chunk);
    if (got <= 0)
        return false;
    m_partial.insert(m_partial.end(), chunk, chunk + got);
    std::size_t offset = 0;
    for (; offset + PacketSummary::kWireSize <= m_partial.size(); offset += PacketSummary::kWireSize)
        m_pending.push_back(PacketSummary::decode(
            std::span<const char, PacketSummary::kWireSize>(m_partial.data() + offset, PacketSummary::kWireSize)));
    m_partial.erase(m_partial.begin(), m_partial.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

std::vector<PacketSummary> ToolProcess::readRecords(std::size_t count, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (m_pending.size() < count && Clock::now() < deadline) {
        if (!readOutputChunk(remainingUntil(deadline)))
            break;
    }
    return std::exchange(m_pending, {});
}

std::vector<PacketSummary> ToolProcess::readUntilQuiet(std::chrono::milliseconds quiet)
{
    while (readOutputChunk(quiet)) {
    }
    return std::exchange(m_pending, {});
}

std::optional<int> ToolProcess::waitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!m_status && m_pid > 0) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = status;
        else if (Clock::now() >= deadline)
            break;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_status;
}

bool ToolProcess::running()
{
    return !waitForExit(std::chrono::milliseconds(0));
}

void ToolProcess::closeOutput()
{
    m_output.reset();
}

std::string ToolProcess::standardError()
{
    return readToEnd(m_error.get(), std::chrono::seconds(10));
}

std::string ToolProcess::remainingOutput()
{
    return std::string(m_partial.begin(), m_partial.end()) + readToEnd(m_output.get(), std::chrono::seconds(10));
}
