// Rootmantle <file> <destdir>: installs file as destdir/<last component of file>, owned
// by root with mode 04555, creating destdir when it is missing.
//
// Runs as root; never trust its input. Nothing is written to standard output: the
// application reads that pipe to its end only to learn that the installer has finished.
#include "tools/installer/InstallerFiles.h"

#include <cstdio>
#include <string>

#include <sys/stat.h>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        const char *invokedAs = argc > 0 && argv[0] != nullptr ? argv[0] : "Rootmantle";
        static_cast<void>(std::fprintf(stderr, "usage: %s <file> <destdir>\n", invokedAs));
        return 1;
    }
    // The installed tool and its folders must be usable by everybody whatever mask the
    // elevation step handed down.
    static_cast<void>(umask(022));

    const std::string file = argv[1];
    const std::string destdir = argv[2];
    const std::string target = joinPath(destdir, lastPathComponent(file));
    makeDirectories(destdir);
    // One message for every way the install can fail, with the system's reason.
    const int installed = copyFile(file, target);
    if (installed < 0 || !makeSetuidRoot(installed)) {
        std::perror("chown");
        return 1;
    }
    return 0;
}
