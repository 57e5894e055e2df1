// SPDX-License-Identifier: MIT
#pragma once

#include "tools/common/OwnedDescriptor.h"

#include <QByteArrayView>
#include <QString>

// Opening the files a person names for logs and exports, in a program that may run as root.
// In a sticky folder everybody may write to, such as /tmp, anybody can plant a symbolic link
// or a file of their own at the name beforehand. Where the kernel's link protections are off
// (or for a writer that resolves links itself, as a save through a temporary file does) the
// lines or the table would go to a file of their choosing. So in such a folder only a file of
// the process's own opens, never through a link at its name; elsewhere a link is followed as
// ever. Safe from any thread.
class GuardedFile
{
public:
    struct Opened
    {
        OwnedDescriptor descriptor;
        QString failure; // empty when the descriptor is open: else why not, for a person
    };

    // Opens for appending, creating the file if missing, close-on-exec (the setuid capture
    // tool the application starts must not inherit it). Non-blocking while opening, so a named
    // pipe nobody reads fails at once instead of hanging; writes then block as for any file.
    static Opened openForAppending(const QString &path);

    // Replaces the file's contents with bytes, whole or not at all (a temporary file renamed
    // over it). In a shared folder the name is first made the process's own file, under the
    // rule above; nobody else may rename or remove it there, so the rename cannot be led
    // elsewhere. Empty on success, else why not, for a person.
    static QString replaceContents(const QString &path, QByteArrayView bytes);
};
