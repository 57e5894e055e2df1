// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The window mode, run by the window program: the interface chooser, or with `interfaceName`
// a stream window on that interface straight away (status 1 when its capture cannot start,
// once the alert with the reason, also printed, is answered). Without a display it says how to
// run without a window, status 2. SIGINT and SIGTERM quit as File > Quit does. Returns the
// exit status once every capture has ended.
int runWindows(int argc, char *argv[], const QString &interfaceName);
