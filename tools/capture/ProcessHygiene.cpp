// SPDX-License-Identifier: MIT
// Runs as root; never trust its input.
#include "tools/capture/ProcessHygiene.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

void forbidInspection()
{
    if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) {
        std::fprintf(stderr, "prctl: %s\n", std::strerror(errno));
        std::exit(1);
    }
}

void refuseDumpableDrops()
{
    if (getuid() == 0)
        return;
    std::FILE *setting = std::fopen("/proc/sys/fs/suid_dumpable", "re");
    if (setting == nullptr) {
        std::fprintf(stderr, "fs.suid_dumpable cannot be read (%s): the capture tool will not run without it\n",
                     std::strerror(errno));
        std::exit(1);
    }
    const int mode = std::fgetc(setting);
    std::fclose(setting);
    if (mode == '1') {
        std::fprintf(stderr, "fs.suid_dumpable is 1: the capture tool will not run with it\n");
        std::exit(1);
    }
}

void ensureStandardDescriptors()
{
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDWR | O_CLOEXEC) != descriptor)
            _exit(1);
    }
}

void forgetEnvironment()
{
    if (clearenv() != 0) {
        std::fprintf(stderr, "clearenv failed\n");
        std::exit(1);
    }
}

namespace {
extern "C" void endOnBrokenPipe(int)
{
    _exit(0);
}
} // namespace

void endOnClosedOutput()
{
    struct sigaction action = {};
    action.sa_handler = endOnBrokenPipe;
    sigemptyset(&action.sa_mask);
    // A starter that blocked SIGPIPE would otherwise leave us writing into a closed pipe forever.
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    if (sigaction(SIGPIPE, &action, nullptr) != 0 || sigprocmask(SIG_UNBLOCK, &brokenPipe, nullptr) != 0) {
        std::fprintf(stderr, "sigaction: %s\n", std::strerror(errno));
        std::exit(1);
    }
}
