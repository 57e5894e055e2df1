// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <memory>
#include <mutex>

class Stream;
class StreamEventLog;

// The new-stream line of one stream, held back for the program that owns the conversation:
// made from a copy taken when the stream was first seen (every counter 0) and queued once,
// by whichever comes first: the program's answer (on the attribution's worker), the
// deadline (the update cycle, or the reader as it makes another stream), or the stream
// leaving (so its new line always comes before its closed one). Any thread; the queueing
// caller then writes the log's queued lines once it holds no capture lock.
class NewStreamAnnouncement
{
public:
    // How long a line waits for the program. The answer takes up to the attribution's
    // refresh interval (0.2 s) and a reading of the socket and process tables.
    static constexpr double kProcessWaitSeconds = 0.5;

    NewStreamAnnouncement(const Stream &stream, double deadline);

    double deadline() const { return m_deadline; }
    // Queues the line with the program, if any is given, the first time; later calls do nothing.
    void announce(const QString &process, StreamEventLog &log);

private:
    std::mutex m_mutex; // guards m_copy
    std::shared_ptr<Stream> m_copy;
    const double m_deadline;
};
