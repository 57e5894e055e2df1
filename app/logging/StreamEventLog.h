// SPDX-License-Identifier: MIT
#pragma once

#include "logging/LogFormat.h"

#include <QString>

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
// - queueNewStream: the reader thread, holding the capture's lock, inside the batch that
//   creates the stream (before the stream's first packet is counted). It keeps a copy of
//   the stream as it is then, all counters at 0.
// - queueRemovedStreams: the main thread, holding the capture's lock, inside the update
//   cycle, with the streams the table has just let go of (so their counters are final).
// - writeQueuedLines: by either thread once it has released the capture's lock. Lines are
//   made and written only here: a log destination may block (a named pipe with a slow
//   reader, a stopped terminal), and thousands of streams may close in one cycle, and the
//   other thread must wait for neither.
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
// another capture's line, and each reaches the kernel before writeQueuedLines returns.
class StreamEventLog
{
public:
    StreamEventLog() = default;
    StreamEventLog(const StreamEventLog &) = delete;
    StreamEventLog &operator=(const StreamEventLog &) = delete;

    // False if already logging or if the file cannot be opened for appending; then nothing
    // changes.
    bool startLoggingToFile(const QString &path);
    // Gives up the file; the last capture to let go of a shared file closes it.
    void stopLogging();
    bool isLogging() const;

    // Queue the stream's line if logging and the event has a template; otherwise nothing.
    void queueNewStream(const Stream &stream);
    void queueRemovedStreams(std::vector<std::shared_ptr<const Stream>> streams);
    void writeQueuedLines();

    // Write the stream's line now if logging and the event has a template.
    void logNewStream(const Stream &stream);
    void logRemovedStream(const Stream &stream);

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

    mutable std::mutex m_stateMutex; // guards the four members below; never held while writing
    std::shared_ptr<FILEAppendWrapper> m_logfileWrapper; // set exactly while logging
    FormatPointer m_logFormatNewStream;
    FormatPointer m_logFormatStreamClosed;
    std::vector<QueuedLine> m_queued;
    std::mutex m_writeMutex; // one writer at a time, so queued lines keep their order
};
