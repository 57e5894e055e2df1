// SPDX-License-Identifier: MIT
// The window program, beside the helpers: what `quillmere` becomes in the window mode. It
// answers the same command line; only its window mode opens windows.

#include "headless/CommandLineOptions.h"
#include "headless/CommandLineRun.h"
#include "platform/Bundle.h"
#include "ui/WindowMode.h"

int main(int argc, char *argv[])
{
    Bundle::setExecutablePlace(Bundle::Place::ToolFolder);
    return runCommandLine(argc, argv, [](int count, char *arguments[], const CommandLineOptions &options) {
        return runWindows(count, arguments, options.interfaceName);
    });
}
