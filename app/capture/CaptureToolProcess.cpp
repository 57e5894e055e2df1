// SPDX-License-Identifier: MIT
#include "capture/CaptureToolProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr auto kExitPollInterval = std::chrono::milliseconds(5);

// A busy interface's records come in bursts of thousands; a pipe that holds a good part of a
// second of them lets the reader take them in a few large reads rather than many small ones.
// An ordinary user may ask for up to fs.pipe-max-size; a refusal keeps the default pipe, which
// works the same with more wake-ups.
void enlargePipe(int descriptor)
{
    static_cast<void>(fcntl(descriptor, F_SETPIPE_SZ, static_cast<int>(CaptureToolProcess::kOutputPipeBytes)));
}

// The child of a threaded process may only make async-signal-safe calls until it execs:
// no stdio, no allocation. strerrordesc_np only looks the text up in a table.
void writeFailure(const char *call)
{
    const int error = errno;
    const char *reason = strerrordesc_np(error);
    if (reason == nullptr)
        reason = "Unknown error";
    const std::string_view pieces[] = {call, ": ", reason, "\n"};
    for (const std::string_view piece : pieces)
        static_cast<void>(writeAll(STDERR_FILENO, piece.data(), piece.size()));
}

[[noreturn]] void failInChild(const char *call)
{
    writeFailure(call);
    _exit(1);
}

// The application may block or catch signals; the tool starts as any program would.
void resetSignals()
{
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
        sigaction(signalNumber, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

// A pipe end that already is descriptor 1 or 2 (the application started with one of them
// closed) would be overwritten by the other dup2, so both are moved above 2 first. The
// originals are close-on-exec and vanish at exec; the duplicates on 1 and 2 are not.
int aboveStandardDescriptors(int descriptor)
{
    return descriptor > STDERR_FILENO ? descriptor : fcntl(descriptor, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
}

[[noreturn]] void runChild(int outputWrite, int errorWrite, char *const argv[])
{
    resetSignals();
    const int output = aboveStandardDescriptors(outputWrite);
    const int error = aboveStandardDescriptors(errorWrite);
    if (output < 0 || error < 0 || dup2(output, STDOUT_FILENO) < 0)
        failInChild("dup2");
    if (dup2(error, STDERR_FILENO) < 0)
        failInChild("dup2");
    execv(argv[0], argv);
    failInChild("execl");
}
} // namespace

CaptureToolProcess::~CaptureToolProcess()
{
    if (running())
        finish(std::chrono::milliseconds(200));
}

bool CaptureToolProcess::start(const std::string &program, const std::vector<std::string> &arguments)
{
    OwnedPipe outputPipe;
    OwnedPipe errorPipe;
    if (!outputPipe.open() || !errorPipe.open()) {
        std::perror("pipe");
        return false;
    }
    enlargePipe(outputPipe.readEnd.get());
    // Everything the child needs is made before fork.
    std::vector<std::string> argumentCopies{program};
    argumentCopies.insert(argumentCopies.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &argument : argumentCopies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return false;
    }
    if (pid == 0)
        runChild(outputPipe.writeEnd.get(), errorPipe.writeEnd.get(), argv.data());
    m_pid = pid;
    m_status.reset();
    m_signalledByUs = false;
    m_output = std::move(outputPipe.readEnd);
    m_error = std::move(errorPipe.readEnd);
    return true;
}

std::optional<int> CaptureToolProcess::waitForExit(std::chrono::milliseconds timeout)
{
    if (m_status || m_pid <= 0)
        return m_status;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(m_pid, &status, WNOHANG);
        if (ended == m_pid || (ended < 0 && errno != EINTR)) {
            m_status = ended == m_pid ? status : -1;
            m_pid = -1;
            return m_status;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(kExitPollInterval);
    }
}

// Until it is reaped the process cannot be replaced by another under its id, so the
// signals reach the tool and nothing else.
int CaptureToolProcess::finish(std::chrono::milliseconds grace)
{
    closeOutput();
    for (const int signalNumber : {0, SIGTERM, SIGKILL}) {
        if (signalNumber != 0 && m_pid > 0)
            m_signalledByUs = kill(m_pid, signalNumber) == 0 || m_signalledByUs;
        if (const std::optional<int> status = waitForExit(grace))
            return *status;
    }
    return waitForExit(std::chrono::hours(1)).value_or(-1);
}
