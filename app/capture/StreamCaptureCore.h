// SPDX-License-Identifier: MIT
#pragma once

#include "capture/AsyncProcessAttribution.h"
#include "capture/CaptureToolProcess.h"
#include "capture/StreamTable.h"
#include "logging/StreamEventLog.h"
#include "tools/capture/RecordReader.h"
#include "tools/common/OwnedDescriptor.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

// The part of a capture that its reader thread shares: the capture's lock, the stream
// table and event log it guards, and the running tool. Plain C++ over Qt's containers and
// texts, no QObject, so it may die on whichever thread lets go of it last; StreamCapture,
// the main-thread front, owns one and the reader thread holds another reference for as
// long as it runs.
//
// The reader waits on the tool's output and on a wake-up descriptor, so shutdown ends it
// even on an idle interface (and while records gather), and only the reader ever closes the
// descriptors it reads: a number cannot be reused under it. On the way out it closes the
// output first (the tool notices at once in its wait and ends by itself), gives the tool a
// grace period, then SIGTERM, and reaps it.
class StreamCaptureCore : public std::enable_shared_from_this<StreamCaptureCore>
{
public:
    // Told, on the reader thread, what went wrong with the tool; it must not block.
    using ErrorReport = std::function<void(const QString &message)>;
    static constexpr std::chrono::milliseconds kToolGrace{300};
    // One read can take all the pipe holds.
    static constexpr std::size_t kReadChunkBytes = CaptureToolProcess::kOutputPipeBytes;
    // How long the reader lets records gather in the pipe once it finds a small piece there,
    // so that a busy interface is read in a few large pieces a second rather than many small
    // ones: a record reaches the table at most this long (and one read) after it reached the
    // pipe, and a lone packet, with the tool's own hand-over time, within a few tens of
    // milliseconds. The display refreshes at most ten times a second; the delay never shows.
    static constexpr std::chrono::milliseconds kGatherTime{20};

    explicit StreamCaptureCore(bool performLookups = true,
                               StreamTable::OwnAddresses ownAddresses = &CurrentHost::snapshot);
    ~StreamCaptureCore();
    StreamCaptureCore(const StreamCaptureCore &) = delete;
    StreamCaptureCore &operator=(const StreamCaptureCore &) = delete;

    // Starts the tool and the reader thread (named after `label`). False, with the cause
    // worded as perror words it on standard error, when a pipe or the process cannot be
    // made; a failure after that (the thread) throws, with the tool already ended and reaped.
    bool start(const std::string &toolPath, const std::vector<std::string> &arguments, const QString &label,
               ErrorReport report);
    // Any thread, any number of times: the reader stops reading and ends the tool.
    void shutdown();
    // Main thread: waits for a reader that has been told to stop (or has ended).
    void joinReader();

    // Bytes as they come from the tool: whole version-2 records are counted (under the lock,
    // one chunk at a time), a record cut short waits for the rest. False once a record is
    // not one the reader knows: the stream is out of step and nothing after it can be read.
    // The reader thread's, and public for tests and benchmarks.
    bool dataAvailable(std::span<const std::byte> chunk);
    // The update cycle's part under the lock; closed-stream lines are written after it.
    StreamTable::Cycle runCycle(double now, double removeInterval);

    StreamEventLog &eventLog() { return m_eventLog; }
    // Under the lock: the reader consults it for every new conversation.
    void setStreamLimit(std::size_t limit);
    // Under the lock: the next cycles follow it (see StreamTable).
    void setTcpConnectionKeeping(bool keep, double idleLimit);
    // Under the lock, so it never falls between two of this capture's lines.
    void stopLogging();

    // Application exit: every capture still running is shut down and its reader joined.
    static void shutdownAll();

private:
    static void readInThread(std::shared_ptr<StreamCaptureCore> self, QString label);
    void readUntilOutputEnds();
    bool foldRecords(std::span<const std::byte> whole);
    void endTool();
    QString readErrorText();
    void reportEnd(const QString &errorText, int waitStatus);

    std::mutex m_lock; // the capture's lock: m_table, and the lines the log queues
    StreamTable m_table;
    StreamEventLog m_eventLog;

    // Which program owns each new stream, from the sockets of the namespace start ran in.
    std::unique_ptr<AsyncProcessAttribution> m_attribution;

    // Set up by start on the main thread, used by the reader thread only from then on.
    CaptureToolProcess m_tool;
    ErrorReport m_report;
    // The tool is started for its version-2 records, which carry IPv6 conversations too.
    using RecordReader = ::RecordReader<PacketSummaryV2>;
    RecordReader m_records;         // reader thread only
    bool m_receivedRecords = false; // reader thread only
    bool m_outOfStep = false;       // reader thread only

    OwnedDescriptor m_wake; // an eventfd; readable once shutdown was asked for
    std::atomic<bool> m_stopping{false};
    std::mutex m_threadMutex; // guards m_reader
    std::thread m_reader;
};
