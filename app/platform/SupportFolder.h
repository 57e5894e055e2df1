// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The machine-wide application-support folder, shared by every user, into which the capture
// tool is installed (in its folder "Quillmere"). /usr/local/libexec unless the build chose
// another (a package uses /usr/libexec); the environment variable QUILLMERE_SUPPORT_DIR
// replaces it when it holds an absolute path (tests, packagers).
class SupportFolder
{
public:
    static QString localDomainPath();

    // The folder, created with any missing parents where the user may. 0 when it exists
    // (or may still be made by the installer, which runs as root), else the error number
    // that rules it out, such as ENOTDIR when a file stands in its place.
    static int findFolder(QString &path);
};
