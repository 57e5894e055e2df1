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
    // The folder of the running executable (through /proc/self/exe, so a symbolic link to
    // the program does not move its bundle).
    static QString executableFolder();
    // A helper program, for example "Netsiphon" or "Rootmantle".
    static QString pathForTool(const QString &name);
    // A resource by its path inside the resource folder, for example "Help/index.html".
    static QString pathForResource(const QString &relativePath);
};
