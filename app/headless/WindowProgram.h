// SPDX-License-Identifier: MIT
#pragma once

#include "headless/CommandLineOptions.h"

#include <QCoreApplication>

// The window mode of the user-facing program, which links no widgets: the process becomes the
// window program that ships beside the helpers (by the same absolute path rule, never through
// PATH), with the same pid, arguments and environment, so the exit status, signals and
// everything else are the window program's. This is the one place the window mode starts.
class WindowProgram
{
    Q_DECLARE_TR_FUNCTIONS(WindowProgram)

public:
    // The program's file name beside the helpers.
    static constexpr char kName[] = "quillmere-windows";

    // Returns only when the window program cannot run, with the reason printed: status 2 when
    // this installation has none (a build without windows, or a server without the windows
    // package), saying how to run without a window; status 1 when it is there but fails to
    // start. Call before any application object or thread exists.
    static int start(int argc, char *argv[], const CommandLineOptions &options);
};
