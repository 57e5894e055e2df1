// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The program that owns a conversation, as a stream keeps it in one text: "firefox (4242)".
// Taken apart wherever the name counts without the process: every process of one program
// shares its name.
struct ProgramName
{
    // A text without a trailing process id in parentheses (another user's socket, or none
    // known) is all name, with id 0.
    static ProgramName fromText(const QString &text);

    QString name;
    quint32 id = 0;
};
