// SPDX-License-Identifier: MIT
#pragma once

#include "logging/QueuedWriter.h"

#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <memory>

// One append-mode file shared by every capture that logs to the same path, so windows
// logging to one file write through one open file instead of racing each other's offsets.
// A process-wide registry finds the wrapper already open for a path; it does not keep
// wrappers alive, so the file is closed when the last holder lets go of its shared_ptr,
// and a later request opens it again and appends after what is there.
//
// Lines go to the file from a writer thread of its own (QueuedWriter), so neither a capture's
// reader thread nor the main thread ever waits for a file that blocks; a regular file gets
// each line within moments, and the lines still queued when the last holder lets go are
// written after it has. A later request for the path lets those go first (unless its file
// has stalled, for which it waits a quarter of a second at most).
class FILEAppendWrapper
{
public:
    // The wrapper open for the standardized path, or a new one that opens the file for
    // appending (creating it empty if missing) under GuardedFile's rule: in a sticky folder
    // everybody may write to, only a file the process owns opens, and never through a
    // symbolic link at its name; a named pipe nobody reads fails at once. Null when the file
    // cannot be opened; then "Couldn't open file at <path>" goes to the system log, why it
    // could not, in words for a person, to `failure`, and nothing is registered. Safe from
    // any thread.
    static std::shared_ptr<FILEAppendWrapper> wrapperAtPath(const QString &path, QString *failure = nullptr);

    // The key under which one file is shared: a leading "~" or "~user" expanded, empty and
    // "." components and trailing separators dropped. In an absolute path ".." goes to the
    // real parent of what precedes it (symbolic links resolved first), as the kernel would
    // when opening the path; relative paths keep their "..".
    static QString standardizedPath(const QString &path);

    ~FILEAppendWrapper();
    FILEAppendWrapper(const FILEAppendWrapper &) = delete;
    FILEAppendWrapper &operator=(const FILEAppendWrapper &) = delete;

    const QString &path() const { return m_path; }

    // Queues whole lines (the caller supplies the line feeds) for the file, after every line
    // queued before by any holder, so lines of captures sharing the file never mix. Returns
    // at once. False when the file has fallen so far behind that the lines were dropped.
    bool appendLine(QByteArrayView line);
    // For lines made on another thread: announced first, so that waiting for the file waits
    // for them too, then appended as appendLine does (see QueuedWriter).
    void expectLines(qsizetype count);
    bool appendExpectedLines(QByteArrayView lines, qsizetype count);
    // Waits, at most `timeout`, until what was queued has been handed to the kernel.
    bool waitUntilWritten(std::chrono::milliseconds timeout);

private:
    FILEAppendWrapper(QString path, OwnedDescriptor descriptor);

    const QString m_path;
    QueuedWriter m_writer;
};
