// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// What ships with the application, found relative to its own executable:
// <bindir>/../libexec/quillmere for the helper programs and <bindir>/../share/quillmere for
// the resources (the relative paths come from the install layout). The build tree has the
// same shape, so the application and its tests run from it too.
class Bundle
{
public:
    // Where the running executable sits in that layout: the user-facing program, the tests
    // and the benchmarks in <bindir>; the window program beside the helpers, which finds
    // everything as the user-facing program does. Set once, before any path is asked for and
    // before any thread starts.
    enum class Place { ProgramFolder, ToolFolder };
    static void setExecutablePlace(Place place);

    // The folder of the running executable (through /proc/self/exe, so a symbolic link to
    // the program does not move its bundle).
    static QString executableFolder();
    // A program beside the helpers, for example "Netsiphon", "Rootmantle" or the window program.
    static QString pathForTool(const QString &name);
    // A resource by its path inside the resource folder, for example "Help/index.html".
    static QString pathForResource(const QString &relativePath);

private:
    // The folder of the user-facing program, whichever program runs.
    static QString programFolder();
};
