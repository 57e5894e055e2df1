// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <mutex>

// One append-mode file shared by every capture that logs to the same path, so windows
// logging to one file write through one open file instead of racing each other's offsets.
// A process-wide registry finds the wrapper already open for a path; it does not keep
// wrappers alive, so the file is closed when the last holder lets go of its shared_ptr,
// and a later request opens it again and appends after what is there.
class FILEAppendWrapper
{
public:
    // The wrapper open for the standardized path, or a new one that opens the file for
    // appending (creating it empty if missing). In a sticky folder everybody may write to,
    // only a file the process owns opens, and never through a symbolic link at its name.
    // Null when the file cannot be opened; then "Couldn't open file at <path>" goes to the
    // system log and nothing is registered. Safe from any thread.
    static std::shared_ptr<FILEAppendWrapper> wrapperAtPath(const QString &path);

    // The key under which one file is shared: a leading "~" or "~user" expanded, empty and
    // "." components and trailing separators dropped. In an absolute path ".." goes to the
    // real parent of what precedes it (symbolic links resolved first), as the kernel would
    // when opening the path; relative paths keep their "..".
    static QString standardizedPath(const QString &path);

    ~FILEAppendWrapper();
    FILEAppendWrapper(const FILEAppendWrapper &) = delete;
    FILEAppendWrapper &operator=(const FILEAppendWrapper &) = delete;

    const QString &path() const { return m_path; }

    // Writes one whole line (the caller supplies its line feed) under this file's lock, so
    // lines of captures sharing the file never mix, and hands it to the kernel before
    // returning: a line survives the process being killed right after. False if the write
    // failed; what was written of it stays.
    bool appendLine(QByteArrayView line);

private:
    FILEAppendWrapper(QString path, int descriptor);

    bool writeWhole(QByteArrayView line);

    const QString m_path;
    const int m_descriptor;
    // A pipe (a named one, or /dev/stdout of a piped run) whose reader has gone raises
    // SIGPIPE on write, whose default action would end the application.
    const bool m_isPipe;
    std::mutex m_writeMutex;
};
