// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Elevation.h"

// Root runs the program directly. Anybody else goes through pkexec, which has polkit ask
// for an administrator's password through the desktop's agent (or a terminal agent) and
// keeps no approval between runs; it exits with 126 when the dialog was dismissed and 127
// when the approval was refused, or when there was nobody to ask (no polkit daemon, no
// agent), which its words on standard error tell apart. Before that, the program is held to the rule the installer
// holds itself to: every folder from "/" down to it, and the program itself, root's alone.
// A program the person (or anything running as them) could have replaced is never offered
// for approval, since an approved run would execute whatever stands there as root. The
// purpose goes to standard error just before, where a terminal agent asks for the password.
class SystemElevation final : public Elevation
{
public:
    static constexpr char kPkexecPath[] = "/usr/bin/pkexec";
    static constexpr int kDialogDismissedStatus = 126;
    static constexpr int kNotAuthorizedStatus = 127;
    static constexpr char kNoAuthorityText[] = "Error getting authority";
    static constexpr char kNoAgentText[] = "No authentication agent found";

    Result runAsRoot(const QString &program, const QStringList &arguments, const QString &purpose) override;

private:
    static Result run(const QString &program, const QStringList &arguments, QByteArray *said = nullptr);
    static bool couldAsk(const QByteArray &said);
};
