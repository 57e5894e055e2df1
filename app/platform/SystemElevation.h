// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Elevation.h"

// Root runs the program directly. Anybody else goes through pkexec, which has polkit ask
// for an administrator's password through the desktop's agent (or a terminal agent) and
// keeps no approval between runs; it exits with 126 when the dialog was dismissed and 127
// when the approval was refused.
class SystemElevation final : public Elevation
{
public:
    static constexpr char kPkexecPath[] = "/usr/bin/pkexec";
    static constexpr int kDialogDismissedStatus = 126;
    static constexpr int kNotAuthorizedStatus = 127;

    Result runAsRoot(const QString &program, const QStringList &arguments) override;

private:
    static Result run(const QString &program, const QStringList &arguments);
};
