// SPDX-License-Identifier: MIT
#pragma once

// Runs a program with standard output and standard error on pipes, the way the application
// runs the capture tool, and reads its output as records: PacketSummary (ToolProcess) or
// PacketSummaryV2 (ToolProcessV2, for a tool started with --records=2). The destructor
// kills a tool that is still running.

#include "tools/capture/PacketSummary.h"
#include "tools/capture/RecordReader.h"
#include "tools/common/OwnedDescriptor.h"

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

template <class Record> class BasicToolProcess
{
public:
    // With brokenPipeSilenced the program starts with SIGPIPE ignored and blocked, as a
    // careless starter might leave it.
    explicit BasicToolProcess(const std::vector<std::string> &commandLine, bool brokenPipeSilenced = false);
    ~BasicToolProcess();
    BasicToolProcess(const BasicToolProcess &) = delete;
    BasicToolProcess &operator=(const BasicToolProcess &) = delete;

    pid_t pid() const { return m_pid; }

    // Reads until `count` records arrived or `timeout` passed.
    std::vector<Record> readRecords(std::size_t count, std::chrono::milliseconds timeout);
    // Reads until no byte arrived for `quiet`.
    std::vector<Record> readUntilQuiet(std::chrono::milliseconds quiet);
    // Bytes of a record cut short so far (a whole-record stream leaves none).
    std::size_t partialBytes() const { return m_records.partialRecord().size(); }

    // The exit status once the process ended within `timeout`.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    bool running();
    void closeOutput();
    // Everything written to standard error; waits for the process to close it.
    std::string standardError();
    // Everything written to standard output after the records read so far.
    std::string remainingOutput();

private:
    bool readOutputChunk(std::chrono::milliseconds timeout);

    pid_t m_pid = -1;
    OwnedDescriptor m_output;
    OwnedDescriptor m_error;
    std::optional<int> m_status;
    RecordReader<Record> m_records;
    std::vector<Record> m_pending;
};

using ToolProcess = BasicToolProcess<PacketSummary>;
using ToolProcessV2 = BasicToolProcess<PacketSummaryV2>;

// The tool has finished opening its capture once it sleeps in poll: a socket alone may not
// be bound to its interface yet. Waits up to two seconds.
bool waitUntilPolling(pid_t pid);
