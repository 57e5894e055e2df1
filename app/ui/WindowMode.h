// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The window mode, run by the window program: the interface chooser, or with `interfaceName`
// a stream window on that interface straight away (status 1 with the reason printed when its
// capture cannot start). SIGINT and SIGTERM quit as File > Quit does. Returns the exit status
// once every capture has ended.
int runWindows(int argc, char *argv[], const QString &interfaceName);
