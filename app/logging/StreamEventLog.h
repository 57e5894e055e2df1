// SPDX-License-Identifier: MIT
#pragma once

#include "logging/LogFormat.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
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
// - writeQueuedLines: by either thread once it has released the capture's lock. Lines are
//   made here, while the values (the time, the speeds) are those of the moment, and handed
//   to the file's writer thread: a log destination may block (a named pipe with a slow
//   reader, a stopped terminal), and thousands of streams may close in one cycle, and the
//   other thread must wait for neither. It returns at once when nothing is queued.
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
// their number, when the file takes lines again.
class StreamEventLog
{
public:
    StreamEventLog() = default;
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
    void queueRemovedStreams(std::vector<std::shared_ptr<const Stream>> streams);
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
    void logNow(const FormatPointer &slot, const Stream &stream);
    // Hands count whole lines to their file, counting them when dropped; with m_writeMutex held.
    void deliver(FILEAppendWrapper &file, const QByteArray &lines, quint64 count);

    mutable std::mutex m_stateMutex;                     // guards the four members below; never held while writing
    std::shared_ptr<FILEAppendWrapper> m_logfileWrapper; // set exactly while logging
    FormatPointer m_logFormatNewStream;
    FormatPointer m_logFormatStreamClosed;
    std::vector<QueuedLine> m_queued;
    // One maker of lines at a time, so queued lines keep their order; held while lines are
    // made and queued, never while a file is written.
    std::mutex m_writeMutex;
    quint64 m_droppedInARow = 0; // guarded by m_writeMutex
    std::atomic<quint64> m_droppedLines{0};
};
