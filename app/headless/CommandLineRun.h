// SPDX-License-Identifier: MIT
#pragma once

#include "headless/CommandLineOptions.h"

#include <functional>

// How a program starts the window mode: the user-facing program by becoming the window
// program, the window program by opening its windows. Returns the exit status.
using WindowStart = std::function<int(int argc, char *argv[], const CommandLineOptions &options)>;

// The whole run of a Quillmere program, the same in the user-facing program and the window
// program: the application named (its settings file and version), the command line read, and
// what it asks for done, each mode with an application object of its own: help, the version
// and usage errors answered in the person's language (status 0, or 2 for a usage error), the
// window-less mode run, history asked (`quillmere history`, see HistoryCommand), or the
// window mode started by `startWindows`. What is still on its
// way to a log file or standard output when the mode ends gets a moment to arrive; the exit
// status is returned.
int runCommandLine(int argc, char *argv[], const WindowStart &startWindows);
