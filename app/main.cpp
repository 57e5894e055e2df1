// SPDX-License-Identifier: MIT
// Quillmere: wires the application together; the behaviour lives in the libraries. The
// windows are a program of their own, so this one links no widgets and runs on a server.

#include "headless/CommandLineRun.h"
#include "headless/WindowProgram.h"

int main(int argc, char *argv[])
{
    return runCommandLine(argc, argv, WindowProgram::start);
}
