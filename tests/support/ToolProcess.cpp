// SPDX-License-Identifier: MIT
#include "ToolProcess.h"

#include <array>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/syscall.h>
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

template <class Record>
BasicToolProcess<Record>::BasicToolProcess(const std::vector<std::string> &commandLine, bool brokenPipeSilenced)
{
    OwnedPipe output;
    OwnedPipe error;
    if (!output.open() || !error.open())
        return;
    std::vector<char *> arguments;
    for (const auto &argument : commandLine)
        arguments.push_back(const_cast<char *>(argument.c_str()));
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

template <class Record> BasicToolProcess<Record>::~BasicToolProcess()
{
    if (m_pid > 0 && !m_status) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

template <class Record> bool BasicToolProcess<Record>::readOutputChunk(std::chrono::milliseconds timeout)
{
    if (!m_output || !waitReadable(m_output.get(), timeout))
        return false;
    std::array<std::byte, 65536> chunk{};
    const ssize_t got = read(m_output.get(), chunk.data(), chunk.size());
    if (got <= 0)
        return false;
    m_records.feedRecords(std::span(chunk).first(static_cast<std::size_t>(got)), [this](const Record &record) {
        m_pending.push_back(record);
        return true;
    });
    return true;
}

template <class Record>
std::vector<Record> BasicToolProcess<Record>::readRecords(std::size_t count, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (m_pending.size() < count && Clock::now() < deadline) {
        if (!readOutputChunk(remainingUntil(deadline)))
            break;
    }
    return std::exchange(m_pending, {});
}

template <class Record> std::vector<Record> BasicToolProcess<Record>::readUntilQuiet(std::chrono::milliseconds quiet)
{
    while (readOutputChunk(quiet)) { }
    return std::exchange(m_pending, {});
}

template <class Record> std::optional<int> BasicToolProcess<Record>::waitForExit(std::chrono::milliseconds timeout)
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

template <class Record> bool BasicToolProcess<Record>::running()
{
    return !waitForExit(std::chrono::milliseconds(0));
}

template <class Record> void BasicToolProcess<Record>::closeOutput()
{
    m_output.reset();
}

template <class Record> std::string BasicToolProcess<Record>::standardError()
{
    return readToEnd(m_error.get(), std::chrono::seconds(10));
}

template <class Record> std::string BasicToolProcess<Record>::remainingOutput()
{
    const auto partial = m_records.partialRecord();
    return std::string(reinterpret_cast<const char *>(partial.data()), partial.size())
        + readToEnd(m_output.get(), std::chrono::seconds(10));
}

template class BasicToolProcess<PacketSummary>;
template class BasicToolProcess<PacketSummaryV2>;

bool waitUntilPolling(pid_t pid)
{
    const std::string syscallFile = "/proc/" + std::to_string(pid) + "/syscall";
    for (int attempt = 0; attempt < 100; ++attempt) {
        long number = -1;
        std::ifstream(syscallFile) >> number;
#ifdef SYS_poll
        if (number == SYS_poll)
            return true;
#endif
        if (number == SYS_ppoll)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}
