// SPDX-License-Identifier: MIT
#pragma once

#include "logging/LogFormat.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

class FILEAppendWrapper;
class Stream;

// The stream-event log of one capture: while logging, one line per new stream and one per
// closed stream, each from its template, appended to a file that other captures may share.
// A capture owns one and calls it as follows ("the capture's lock" is the lock over its
// stream table):
//
// - queueNewStream: with a stream as it was when first seen, all counters at 0: the reader
//   thread, holding the capture's lock, inside the batch that creates the stream, or later
//   with a copy taken then (a line that waited for the stream's program, see
//   NewStreamAnnouncement), from any thread. It keeps a copy of what it is given.
// - queueRemovedStreams: the main thread, holding the capture's lock, inside the update
//   cycle, with the streams the table has just let go of (so their counters are final).
// - writeQueuedLines: by either thread once it has released the capture's lock. It hands
//   what is queued to the log's own thread, which makes the lines (the time, the speeds are
//   those of that moment) and hands them to the file's writer thread, and returns at once: a
//   log destination may block (a named pipe with a slow reader, a stopped terminal), and a
//   hundred thousand streams may close in one cycle, and neither the reader nor the window
//   must wait for that. Waiting for the file (FILEAppendWrapper, QueuedWriter) also waits
//   for lines still being made.
// - stopLogging: the main thread, holding the capture's lock, so it never falls between
//   two lines of this capture. Lines already queued still go to the file they were meant for.
// - startLoggingToFile, isLogging, the template setters and readers: the main thread; the
//   capture's lock need not be held (the setters follow the preferences).
// - logNewStream and logRemovedStream make and write one line at once, for callers that
//   hold no lock.
//
// Each call is also safe on its own: the file and the templates are swapped under a small
// internal lock, and a queued line holds its own references to its file, its template and
// its stream. Lines are written in the order they were queued, whole, never mixed with
// another capture's line. No call waits for the file: a regular file gets each line from its
// writer thread within moments of writeQueuedLines (or logNewStream) returning. A file that
// stops taking lines holds a bounded queue of them (QueuedWriter); lines beyond it are
// dropped, counted in droppedLines, and told to the system log when dropping begins and, with
// their number, when the file takes lines again. Lines queued beyond kMaximumQueuedLines
// before they are made are dropped too, and counted the same way.
class StreamEventLog
{
public:
    // Twice the streams a table may hold: every stream closing while as many new ones come.
    static constexpr std::size_t kMaximumQueuedLines = 400'000;

    StreamEventLog() = default;
    // Lines already queued are made and handed to their files first.
    ~StreamEventLog();
    StreamEventLog(const StreamEventLog &) = delete;
    StreamEventLog &operator=(const StreamEventLog &) = delete;

    // False if already logging or if the file cannot be opened for appending (why not, in
    // words for a person, goes to `failure`); then nothing changes.
    bool startLoggingToFile(const QString &path, QString *failure = nullptr);
    // Gives up the file; the last capture to let go of a shared file closes it.
    void stopLogging();
    bool isLogging() const;

    // Queue the stream's line if logging and the event has a template; otherwise nothing.
    void queueNewStream(const Stream &stream);
    void queueRemovedStreams(std::span<const std::shared_ptr<const Stream>> streams);
    void writeQueuedLines();

    // Make the stream's line now and hand it to the file, if logging and the event has a
    // template.
    void logNewStream(const Stream &stream);
    void logRemovedStream(const Stream &stream);
    // Lines dropped because their file did not keep up, since this log was made; any thread.
    quint64 droppedLines() const;

    // A template takes effect from the next line, also while logging; no template
    // (nullopt) switches that event's lines off without stopping the log. The readers give
    // the text rebuilt from the parsed form, or nullopt when there is none.
    void setLogFormatNewStream(const std::optional<QString> &logTemplate);
    std::optional<QString> logFormatNewStream() const;
    void setLogFormatStreamClosed(const std::optional<QString> &logTemplate);
    std::optional<QString> logFormatStreamClosed() const;

private:
    // A template with its keys looked up once, not for every line.
    struct ParsedTemplate
    {
        LogFormat format;
        std::vector<std::optional<int>> keys; // per record: the Stream::Key, or none for an unknown name
    };
    using FormatPointer = std::shared_ptr<const ParsedTemplate>;

    void setFormat(FormatPointer &slot, const std::optional<QString> &logTemplate);
    std::optional<QString> formatText(const FormatPointer &slot) const;
    struct QueuedLine
    {
        std::shared_ptr<FILEAppendWrapper> file;
        FormatPointer format;
        std::shared_ptr<const Stream> stream;
    };

    // The file and template a line of this event would use now; no file when it makes none.
    QueuedLine lineFor(const FormatPointer &slot);
    void queue(std::vector<QueuedLine> lines);
    void makeInThread();
    void makeLines(const std::vector<QueuedLine> &queued);
    void logNow(const FormatPointer &slot, const Stream &stream);
    // Hands count whole lines to their file, counting them when dropped; with m_writeMutex held.
    // Announced: the file heard of them when they were queued.
    enum class Announced { No, Yes };
    void deliver(FILEAppendWrapper &file, const QByteArray &lines, quint64 count, Announced announced);

    mutable std::mutex m_stateMutex;                     // guards the six members below; never held while writing
    std::shared_ptr<FILEAppendWrapper> m_logfileWrapper; // set exactly while logging
    FormatPointer m_logFormatNewStream;
    FormatPointer m_logFormatStreamClosed;
    std::vector<QueuedLine> m_queued;
    std::condition_variable m_linesQueued;
    bool m_closing = false;
    // Makes the queued lines, in order; started with the first log file, ended by the
    // destructor once it has made every line queued.
    std::thread m_maker;
    // Held while lines are made and handed over (by the maker, or logNow), never while a
    // file is written.
    std::mutex m_writeMutex;
    quint64 m_droppedInARow = 0; // guarded by m_writeMutex
    std::atomic<quint64> m_droppedLines{0};
};
