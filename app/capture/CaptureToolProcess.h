// SPDX-License-Identifier: MIT
#pragma once

#include "tools/common/OwnedDescriptor.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// One running capture tool: its process and the read ends of the pipes that carry its
// standard output and standard error. Started on the main thread, then handed to the
// capture's reader thread, which alone uses it from there on.
//
// Everything the application opens is close-on-exec, so a tool inherits only its own two
// pipe ends: a second window's tool never keeps the first one's pipe alive.
class CaptureToolProcess
{
public:
    // What the output pipe is asked to hold (the kernel may give less).
    static constexpr std::size_t kOutputPipeBytes = 1024 * 1024;

    CaptureToolProcess() = default;
    // Ends and reaps a tool still running (the capture's last owner is going).
    ~CaptureToolProcess();
    CaptureToolProcess(CaptureToolProcess &&) = default;
    CaptureToolProcess &operator=(CaptureToolProcess &&) = default;

    // Starts `program` with the arguments (the first is argument 0). On failure the cause
    // goes to standard error the way perror words it ("pipe: ..." or "fork: ..."), nothing
    // stays open and false is returned. A tool that cannot be executed reports "execl: ..."
    // through its error pipe, and one whose descriptors cannot be set up "dup2: ..." on the
    // application's standard error; either then exits with status 1.
    bool start(const std::string &program, const std::vector<std::string> &arguments);

    bool running() const { return m_pid > 0; }
    int output() const { return m_output.get(); }
    int error() const { return m_error.get(); }
    // The tool's wait watches its output, so it sees its reader gone at once and ends by itself.
    void closeOutput() { m_output.reset(); }

    // Waits at most `timeout` for the tool to end and reaps it: its wait status, or nothing
    // while it still runs. Returns the status already collected once it has been reaped.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    // Closes the output, gives the tool `grace` to end by itself, then SIGTERM, and after
    // another `grace` SIGKILL; reaps it. Its wait status.
    int finish(std::chrono::milliseconds grace);
    // Whether finish had to signal the tool: its end then is no failure of its own.
    bool signalledByUs() const { return m_signalledByUs; }

private:
    pid_t m_pid = -1;
    bool m_signalledByUs = false;
    std::optional<int> m_status;
    OwnedDescriptor m_output;
    OwnedDescriptor m_error;
};
