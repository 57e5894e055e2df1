// SPDX-License-Identifier: MIT
// Rootmantle [--everyone | --grant] <file> <destdir>: installs file, which must be the capture
// tool beside this installer, as destdir/Netsiphon, set-user-ID root, creating destdir when it
// is missing. destdir must be absolute.
//
// Who may capture: a first install is owned by root and the group quillmere (created when
// missing) with mode 04750, so only the group's members may run it. A reinstall keeps the
// group, mode and ACL entries the installed tool has, whoever chose them. --everyone, from
// root alone, installs it 04555 for every user, which later reinstalls keep.
//
// Root running the installer itself may install into any folder. Run for another user
// (through pkexec, which names that user in PKEXEC_UID), it installs only from folders nobody
// but root can change and only into the machine-wide support folder's Quillmere, replaces
// nothing there but a set-user-ID root tool with one name, never widens who may capture beyond
// that user, and lets that user run a first install at once through an ACL entry. --grant does
// the same for an install that user may not run yet. Where the file system keeps no ACLs, the
// user is added to the group quillmere instead, which takes effect at their next login. The
// user's terminal can neither stop nor end the run.
//
// Runs as root; never trust its input. Nothing is written to standard output: the
// application reads that pipe to its end only to learn that the installer has finished.
#include "tools/common/RootOnlyPath.h"
#include "tools/installer/InstallerFiles.h"
#include "tools/installer/SystemAccounts.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>

namespace {

constexpr const char *kDestinationForAnotherUser = QUILLMERE_SUPPORT_DIR "/Quillmere";
constexpr rlim_t kStackBytes = 8 * 1024 * 1024;

enum class Request { Install, Everyone, Grant };

struct Invocation
{
    Request request = Request::Install;
    const char *file = nullptr;
    const char *destdir = nullptr;
};

// Who asked through pkexec: nobody when root started the installer itself.
struct Requester
{
    bool forAnotherUser = false;
    uid_t user = 0;
    std::string name;
};

// A standard descriptor left closed by the caller would be handed to the next file opened,
// and a diagnostic meant for standard error would then be written into that file.
bool fillStandardDescriptors()
{
    for (int standard = 0; standard <= 2; ++standard) {
        struct stat info = {};
        if (fstat(standard, &info) != 0 && open("/dev/null", O_RDWR | O_NOCTTY) < 0)
            return false;
    }
    return true;
}

// Limits and signals handed down by the caller must not cut the copy short or upset the
// account tools. Where the file size limit cannot be lifted, a too-large write fails with EFBIG
// (SIGXFSZ ignored) instead of killing the installer before it has removed its temporary file.
// The terminal is the requester's: its keys (^C, ^\, ^Z), its hang-up and its rules for
// background jobs must neither end nor stop a run half-way. Nor must interval timers armed
// before the exec, a CPU time limit, or a standard error whose reader has gone (a closed pipe
// makes the message fail, not the install).
void liftInheritedLimits()
{
    for (const int ignored :
         {SIGXFSZ, SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGHUP, SIGPIPE, SIGALRM, SIGVTALRM, SIGPROF})
        static_cast<void>(std::signal(ignored, SIG_IGN));
    const itimerval disarmed{};
    for (const int timer : {ITIMER_REAL, ITIMER_VIRTUAL, ITIMER_PROF})
        static_cast<void>(setitimer(timer, &disarmed, nullptr));
    // An ignored SIGCHLD would have the account tools reaped before they are waited for.
    static_cast<void>(std::signal(SIGCHLD, SIG_DFL));
    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    static_cast<void>(setrlimit(RLIMIT_FSIZE, &unlimited));
    static_cast<void>(setrlimit(RLIMIT_CPU, &unlimited));
    rlimit stack{};
    if (getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur < kStackBytes) {
        const rlimit enough{kStackBytes, stack.rlim_max > kStackBytes ? stack.rlim_max : kStackBytes};
        static_cast<void>(setrlimit(RLIMIT_STACK, &enough));
    }
}

std::optional<Invocation> parseArguments(int argc, char *argv[])
{
    Invocation invocation;
    if (argc == 4 && std::strcmp(argv[1], "--everyone") == 0)
        invocation.request = Request::Everyone;
    else if (argc == 4 && std::strcmp(argv[1], "--grant") == 0)
        invocation.request = Request::Grant;
    else if (argc != 3)
        return std::nullopt;
    const int first = argc - 2;
    invocation.file = argv[first];
    invocation.destdir = argv[first + 1];
    if (invocation.file[0] == '-' || invocation.destdir[0] != '/')
        return std::nullopt;
    return invocation;
}

// pkexec's PKEXEC_UID, the real user id of who asked: decimal digits only, within uid_t, not
// the "no user" value, and a user of this system. Nothing when it is anything else.
std::optional<uid_t> parseUserId(const char *text)
{
    const std::string_view digits(text);
    uid_t user = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), user);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos || error != std::errc()
        || end != digits.data() + digits.size() || user == static_cast<uid_t>(-1))
        return std::nullopt;
    return user;
}

// What failed, then the system's reason, as perror has it; "chown" for the owner, group, mode
// and ACL, as the installer has always said.
int failed(const std::string &what)
{
    static_cast<void>(std::fprintf(stderr, "%s: %s\n", what.c_str(), std::strerror(errno)));
    return 1;
}

int failedAt(InstallFailure failure, const Invocation &invocation)
{
    const std::string destdir = invocation.destdir;
    switch (failure) {
    case InstallFailure::Temporary:
        return failed("could not create a temporary file in " + destdir);
    case InstallFailure::Copy:
        return failed(std::string("could not copy ") + invocation.file + " into " + destdir);
    case InstallFailure::Rename:
        return failed("could not rename the copy to " + joinPath(destdir, kToolName));
    case InstallFailure::Access:
    case InstallFailure::None:
        break;
    }
    return failed("chown");
}

int refuse(const std::string &what, const std::string &reason)
{
    static_cast<void>(std::fprintf(stderr, "refusing to install %s: %s\n", what.c_str(), reason.c_str()));
    return 1;
}

// Why another user's approved run may not install into destdir, or empty when it may: it
// must not create folders or replace files anywhere else, nor below a folder that someone
// other than root could change.
std::string refusalOfDestination(const std::string &destdir)
{
    if (destdir != kDestinationForAnotherUser)
        return std::string("only ") + kDestinationForAnotherUser + " is accepted for another user";
    const std::string level = firstLevelOthersCanChange(destdir);
    return level.empty() ? level : level + " is not a folder only root can write";
}

// Why the request may not be carried out for who made it, or empty when it may. An approval
// dialog must never widen who may capture, and --grant names nobody but who asked.
std::string refusalOfRequest(Request request, const Requester &requester)
{
    if (request == Request::Everyone && requester.forAnotherUser)
        return "--everyone is for root itself, never for a run on behalf of another user";
    if (request == Request::Grant && !requester.forAnotherUser)
        return "--grant allows the user who asked through pkexec, and nobody did";
    return {};
}

// What the new copy's access starts from: the installed tool's, or the first install's.
std::optional<ToolAccess> accessToInstall(Request request, const InstalledTool &installed)
{
    if (request == Request::Everyone)
        return ToolAccess::everyone();
    if (installed.descriptor)
        return ToolAccess::keptFrom(installed.descriptor.get(), installed.info);
    gid_t group = 0;
    if (!SystemAccounts::captureGroup(group))
        return std::nullopt;
    return ToolAccess::onlyGroup(group);
}

// Where no ACL can say it, the user gets the rights of the tool's group; only of the capture
// group, since another group an administrator chose may give far more than capturing.
int allowThroughGroup(const Requester &requester, const std::string &target, gid_t group)
{
    if (SystemAccounts::groupName(group) != kCaptureGroup) {
        static_cast<void>(std::fprintf(stderr,
                                       "%s keeps no ACL and its group is not %s: add %s to its group yourself\n",
                                       target.c_str(), kCaptureGroup, requester.name.c_str()));
        return 1;
    }
    if (!SystemAccounts::addToGroup(requester.name, kCaptureGroup))
        return 1;
    static_cast<void>(std::fprintf(stderr, "%s keeps no ACL: added %s to the group %s, from their next login on\n",
                                   target.c_str(), requester.name.c_str(), kCaptureGroup));
    return 0;
}

int install(const Invocation &invocation, const Requester &requester)
{
    const BundledTool tool = openBundledTool(invocation.file, requester.forAnotherUser);
    if (!tool.descriptor)
        return refuse(invocation.file, tool.refusal);
    if (requester.forAnotherUser)
        if (const std::string refusal = refusalOfDestination(invocation.destdir); !refusal.empty())
            return refuse(std::string("into ") + invocation.destdir, refusal);
    const OwnedDescriptor folder = openDestination(invocation.destdir);
    if (!folder)
        return failed(std::string("could not open or create the folder ") + invocation.destdir);
    const std::string target = joinPath(invocation.destdir, kToolName);
    // Refused before anything is decided or made for it.
    if (const std::string refusal = refusalOfTarget(folder.get(), tool.info); !refusal.empty())
        return refuse("over " + target, refusal);
    removeAbandonedTemporaries(folder.get());
    const InstalledTool installed = openInstalledTool(folder.get());
    // What is there and is no install someone chose the access of (a copy an administrator made
    // not set-user-ID, one with a second name) is for root to replace, not for an approval.
    if (requester.forAnotherUser && installed.present && !installed.descriptor)
        return refuse("over " + target, installed.refusal + "; only root running the installer itself replaces it");
    std::optional<ToolAccess> access = accessToInstall(invocation.request, installed);
    if (!access)
        return failed("chown");
    // Root needs no entry of its own to run a set-user-ID root tool; a reinstall adds nobody.
    const bool allowRequester = requester.forAnotherUser && requester.user != 0
        && (invocation.request == Request::Grant || !installed.present);
    if (allowRequester && !access->allowUser(requester.user))
        return failed("chown");
    bool aclRefused = false;
    if (const InstallFailure failure = installTool(folder.get(), tool.descriptor.get(), *access, aclRefused);
        failure != InstallFailure::None)
        return failedAt(failure, invocation);
    if (allowRequester && aclRefused)
        return allowThroughGroup(requester, target, access->group());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!fillStandardDescriptors())
        return 1;
    liftInheritedLimits();
    const std::optional<Invocation> invocation = parseArguments(argc, argv);
    if (!invocation) {
        const char *invokedAs = argc > 0 && argv[0] != nullptr ? argv[0] : "Rootmantle";
        static_cast<void>(std::fprintf(stderr, "usage: %s [--everyone | --grant] <file> <destdir>\n", invokedAs));
        return 1;
    }
    // The installed tool and its folders must be usable by those allowed whatever mask the
    // elevation step handed down.
    static_cast<void>(umask(022));

    Requester requester;
    if (const char *asked = std::getenv("PKEXEC_UID")) {
        const std::optional<uid_t> user = parseUserId(asked);
        requester = {true, user.value_or(0), user ? SystemAccounts::userName(*user) : std::string()};
        if (requester.name.empty())
            return refuse(invocation->file, "PKEXEC_UID is not the number of a user of this system");
    }
    if (const std::string refusal = refusalOfRequest(invocation->request, requester); !refusal.empty())
        return refuse(invocation->file, refusal);
    return install(*invocation, requester);
}
