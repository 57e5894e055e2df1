// SPDX-License-Identifier: MIT
// Rootmantle <file> <destdir>: installs file, which must be the capture tool beside this
// installer, as destdir/Netsiphon, owned by root with mode 04555, creating destdir when it
// is missing. destdir must be absolute.
//
// Root running the installer itself may install into any folder. Run for another user
// (through pkexec), it installs only from folders nobody but root can change, and only into
// the machine-wide support folder's Quillmere.
//
// Runs as root; never trust its input. Nothing is written to standard output: the
// application reads that pipe to its end only to learn that the installer has finished.
#include "tools/installer/InstallerFiles.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

constexpr const char *kDestinationForAnotherUser = QUILLMERE_SUPPORT_DIR "/Quillmere";

// A standard descriptor left closed by the caller would be handed to the next file opened,
// and a diagnostic meant for standard error would then be written into that file.
bool fillStandardDescriptors()
{
    for (int standard = 0; standard <= 2; ++standard) {
        struct stat info {};
        if (fstat(standard, &info) != 0 && open("/dev/null", O_RDWR | O_NOCTTY) < 0)
            return false;
    }
    return true;
}

// A file size limit handed down by the caller must not cut the copy short. Where it cannot
// be lifted, a too-large write fails with EFBIG instead of killing the installer before it
// has removed its temporary file.
void liftFileSizeLimit()
{
    static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    static_cast<void>(setrlimit(RLIMIT_FSIZE, &unlimited));
}

// pkexec names the user it runs the installer for; root starting it directly does not.
bool runsForAnotherUser()
{
    return std::getenv("PKEXEC_UID") != nullptr;
}

// Why another user's approved run may not install into destdir, or empty when it may: it
// must not create folders or replace files anywhere else, nor below a folder that someone
// other than root could change.
std::string refusalOfDestination(const std::string &destdir)
{
    if (destdir != kDestinationForAnotherUser)
        return std::string("only ") + kDestinationForAnotherUser
            + " is accepted for another user";
    const std::string level = firstLevelOthersCanChange(destdir);
    return level.empty() ? level : level + " is not a folder only root can write";
}

int refuse(const std::string &what, const std::string &reason)
{
    static_cast<void>(
        std::fprintf(stderr, "refusing to install %s: %s\n", what.c_str(), reason.c_str()));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!fillStandardDescriptors())
        return 1;
    liftFileSizeLimit();
    if (argc != 3 || argv[2][0] != '/') {
        const char *invokedAs = argc > 0 && argv[0] != nullptr ? argv[0] : "Rootmantle";
        static_cast<void>(std::fprintf(stderr, "usage: %s <file> <destdir>\n", invokedAs));
        return 1;
    }
    // The installed tool and its folders must be usable by everybody whatever mask the
    // elevation step handed down.
    static_cast<void>(umask(022));

    const bool forAnotherUser = runsForAnotherUser();
    const BundledTool tool = openBundledTool(argv[1], forAnotherUser);
    if (!tool.descriptor)
        return refuse(argv[1], tool.refusal);
    if (forAnotherUser)
        if (const std::string refusal = refusalOfDestination(argv[2]); !refusal.empty())
            return refuse(std::string("into ") + argv[2], refusal);
    const OwnedDescriptor folder = openDestination(argv[2]);
    // One message for every way the install can fail, with the system's reason.
    if (!folder || !installTool(folder.get(), tool.descriptor.get(), tool.info)) {
        std::perror("chown");
        return 1;
    }
    return 0;
}
