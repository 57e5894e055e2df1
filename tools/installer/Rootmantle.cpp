// Rootmantle <file> <destdir>: installs file, which must be the capture tool beside this
// installer, as destdir/Netsiphon, owned by root with mode 04555, creating destdir when it
// is missing. destdir must be absolute.
//
// Runs as root; never trust its input. Nothing is written to standard output: the
// application reads that pipe to its end only to learn that the installer has finished.
#include "tools/installer/InstallerFiles.h"

#include <cstdio>

#include <sys/stat.h>

int main(int argc, char *argv[])
{
    if (argc != 3 || argv[2][0] != '/') {
        const char *invokedAs = argc > 0 && argv[0] != nullptr ? argv[0] : "Rootmantle";
        static_cast<void>(std::fprintf(stderr, "usage: %s <file> <destdir>\n", invokedAs));
        return 1;
    }
    // The installed tool and its folders must be usable by everybody whatever mask the
    // elevation step handed down.
    static_cast<void>(umask(022));

    const BundledTool tool = openBundledTool(argv[1]);
    if (!tool.descriptor) {
        static_cast<void>(std::fprintf(stderr, "refusing to install %s: %s\n", argv[1],
                                       tool.refusal.c_str()));
        return 1;
    }
    const OwnedDescriptor folder = openDestination(argv[2]);
    // One message for every way the install can fail, with the system's reason.
    if (!folder || !installTool(folder.get(), tool.descriptor.get(), tool.info)) {
        std::perror("chown");
        return 1;
    }
    return 0;
}
