// SPDX-License-Identifier: MIT
#include "PrivateSystemFolders.h"
#include "tools/common/RootOnlyPath.h"
#include "tools/installer/InstallerFiles.h"
#include "tools/installer/SystemAccounts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <acl/libacl.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const fs::path kRootmantle = QUILLMERE_BUILD_DIR "/libexec/quillmere/Rootmantle";
const std::string kSupportDestination = QUILLMERE_SUPPORT_DIR "/Quillmere";

struct Outcome
{
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string randomBytes(std::size_t count)
{
    std::mt19937 generator(20260517);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(count, '\0');
    for (char &c : bytes)
        c = static_cast<char>(byte(generator));
    return bytes;
}

mode_t permissions(const fs::path &path)
{
    struct stat info = {};
    return lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

std::vector<std::string> entriesOf(const fs::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

int exitStatusOf(const fs::path &program)
{
    const pid_t child = fork();
    if (child == 0) {
        execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    const bool exited = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status);
    return exited ? WEXITSTATUS(status) : -1;
}

// Takes a mount away when the test ends, however it ends.
struct ScopedMount
{
    fs::path at;
    ~ScopedMount() { umount2(at.c_str(), MNT_DETACH); }
};

// The installer's runs look like pkexec's on behalf of the user nobody while this lives.
struct OnBehalfOfAUser
{
    OnBehalfOfAUser() { setenv("PKEXEC_UID", "65534", 1); }
    ~OnBehalfOfAUser() { unsetenv("PKEXEC_UID"); }
};

// The first of `folder` and the folders above it that someone other than root may change,
// or empty when there is none.
std::string levelOthersCanChange(fs::path folder)
{
    for (;; folder = folder.parent_path()) {
        struct stat info = {};
        if (stat(folder.c_str(), &info) != 0 || info.st_uid != 0 || (info.st_mode & 022) != 0)
            return folder.string();
        if (folder == folder.root_path())
            return {};
    }
}

// "<command name> <state>" of a process, from /proc/<pid>/stat.
std::string commandAndStateOf(pid_t process)
{
    const std::string stat = readFile("/proc/" + std::to_string(process) + "/stat");
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 2 >= stat.size())
        return {};
    return stat.substr(open + 1, close - open - 1) + " " + stat[close + 2];
}

// A step of the installer's child between its set-up and exec: system calls only.
using ChildStep = void (*)();

class Rootmantle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Groups the installer makes, and people it adds, stay in the test's own /etc.
        if (isRoot())
            if (const std::string why = PrivateSystemFolders::enter(); !why.empty())
                GTEST_SKIP() << why;
        std::string pattern = (fs::temp_directory_path() / "rootmantle-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        dir = pattern;
        // Others may reach what is installed in here, so whether they may run it is up to it.
        fs::permissions(dir, fs::perms(0755));
        fs::create_directory(dir / "src");
        source = dir / "src" / "Netsiphon";
        writeFile(source, tool);
        // The installer installs only the tool beside its own image, so it runs from a copy
        // beside the test's tool.
        installer = dir / "src" / "Rootmantle";
        fs::copy_file(kRootmantle, installer);
    }

    void TearDown() override
    {
        // Installed folders are 0555; root removes them anyway, others need write back.
        std::error_code ignored;
        for (const auto &entry : fs::recursive_directory_iterator(dir, ignored))
            if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
        if (!bundle.empty())
            fs::remove_all(bundle, ignored);
    }

    // Starts the installer with its standard output and error on `out` and `err`. The child
    // only makes system calls: another thread of the test may hold malloc's lock.
    pid_t start(const std::vector<std::string> &args, int out, int err, const fs::path &cwd = {},
                ChildStep inChild = nullptr)
    {
        std::vector<char *> argv{const_cast<char *>(installer.c_str())};
        for (const auto &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            if (dup2(out, 1) < 0 || dup2(err, 2) < 0 || (!cwd.empty() && chdir(cwd.c_str()) != 0))
                _exit(126);
            if (inChild != nullptr)
                inChild();
            execv(argv[0], argv.data());
            _exit(127);
        }
        return child;
    }

    // Runs the installer with stdout and stderr captured in files of the test folder.
    Outcome run(const std::vector<std::string> &args, const fs::path &cwd = {}, ChildStep inChild = nullptr)
    {
        const fs::path outPath = dir / "stdout";
        const fs::path errPath = dir / "stderr";
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const pid_t child = out >= 0 && err >= 0 ? start(args, out, err, cwd, inChild) : -1;
        close(out);
        close(err);
        Outcome outcome;
        int status = 0;
        if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
            outcome.status = WEXITSTATUS(status);
        outcome.out = readFile(outPath);
        outcome.err = readFile(errPath);
        fs::remove(outPath);
        fs::remove(errPath);
        return outcome;
    }

    // A first install unless told otherwise: for the members of the capture group only.
    void expectInstalled(const fs::path &target, const std::string &bytes, mode_t mode = 04750,
                         gid_t group = captureGroup())
    {
        struct stat info = {};
        ASSERT_EQ(lstat(target.c_str(), &info), 0) << target;
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_uid, 0u);
        EXPECT_EQ(info.st_gid, group);
        EXPECT_EQ(info.st_mode & 07777, mode);
        EXPECT_TRUE(readFile(target) == bytes) << "content differs from the source";
    }

    static gid_t captureGroup()
    {
        const struct group *entry = getgrnam(kCaptureGroup);
        return entry != nullptr ? entry->gr_gid : static_cast<gid_t>(-1);
    }

    // The installed tool's ACL with numeric ids, "" when it has none beyond its mode.
    static std::string aclOf(const fs::path &file)
    {
        if (acl_extended_file(file.c_str()) != 1)
            return {};
        acl_t acl = acl_get_file(file.c_str(), ACL_TYPE_ACCESS);
        char *text = acl != nullptr ? acl_to_any_text(acl, nullptr, ',', TEXT_NUMERIC_IDS) : nullptr;
        const std::string result = text != nullptr ? text : "unreadable";
        acl_free(text);
        acl_free(acl);
        return result;
    }

    static bool setAcl(const fs::path &file, const char *text)
    {
        acl_t acl = acl_from_text(text);
        const bool set = acl != nullptr && acl_set_file(file.c_str(), ACL_TYPE_ACCESS, acl) == 0;
        acl_free(acl);
        return set;
    }

    // The exit status of `program` run by the user nobody, started by a shell: a program that
    // setpriv executes directly is not checked for execute permission. With `groups` from
    // the group database, or none.
    static int statusRunByNobody(const fs::path &program, bool groups = false)
    {
        const std::string command = "setpriv --reuid=65534 --regid=65534 "
            + std::string(groups ? "--init-groups" : "--clear-groups") + " /bin/sh -c 'exec \"$0\"' " + program.string()
            + " 2>/dev/null";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Copies the installer and its tool into a new folder of the build tree, for runs on behalf
    // of another user, which take the tool only from folders nobody but root can change.
    // Empty when done, otherwise why not.
    std::string copyIntoRootOnlyBundle()
    {
        const fs::path buildTree = fs::canonical(QUILLMERE_BUILD_DIR);
        if (const std::string level = levelOthersCanChange(buildTree); !level.empty())
            return level + " may be changed by others than root";
        std::string pattern = (buildTree / "test-bundle-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            return std::strerror(errno);
        bundle = pattern;
        fs::permissions(bundle, fs::perms(0755));
        fs::copy_file(source, bundle / "Netsiphon");
        fs::copy_file(installer, bundle / "Rootmantle");
        source = bundle / "Netsiphon";
        installer = bundle / "Rootmantle";
        fs::permissions(source, fs::perms(0644));
        return {};
    }

    static bool isRoot() { return geteuid() == 0; }

    fs::path dir;
    fs::path bundle;
    fs::path source;
    fs::path installer;
    // Larger than any one read and not a multiple of a block, with every byte value.
    const std::string tool = randomBytes(70001);
};

#define REQUIRE_ROOT()                                                                                                 \
    if (!isRoot())                                                                                                     \
    GTEST_SKIP() << "needs root: the installer makes root the owner of its copy"

// An approved run for nobody, from a bundle only root can change, into the one support folder
// it accepts, here a fresh one of the test's own (a ramfs, which keeps no ACL, when asked).
#define REQUIRE_RUN_FOR_ANOTHER_USER(keepsNoAcl)                                                                       \
    REQUIRE_ROOT();                                                                                                    \
    if (const std::string whyNot = copyIntoRootOnlyBundle(); !whyNot.empty())                                          \
        GTEST_SKIP() << "needs a bundle folder only root can write: " << whyNot;                                       \
    if (const std::string whyNot = PrivateSystemFolders::emptyFolderAt(QUILLMERE_SUPPORT_DIR, keepsNoAcl);             \
        !whyNot.empty())                                                                                               \
    GTEST_SKIP() << whyNot

} // namespace

TEST_F(Rootmantle, WrongUsagePrintsUsageAndTouchesNothing)
{
    const fs::path dest = dir / "dest";
    // A relative destination would depend on wherever the elevation step starts the installer.
    for (const auto &args :
         {std::vector<std::string>{source.string()}, std::vector<std::string>{source.string(), dest.string(), "x"},
          std::vector<std::string>{}, std::vector<std::string>{source.string(), "dest"},
          std::vector<std::string>{source.string(), ""}, std::vector<std::string>{"--everyone", source.string()},
          std::vector<std::string>{"--all", source.string(), dest.string()}}) {
        const Outcome outcome = run(args, dir);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "usage: " + installer.string() + " [--everyone | --grant] <file> <destdir>\n");
        EXPECT_EQ(outcome.out, "");
        EXPECT_FALSE(fs::exists(dest));
    }
}

TEST_F(Rootmantle, ExistingDestinationGivesOneLineAndTheInstalledTool)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "dest";
    fs::create_directory(dest);
    fs::permissions(dest, fs::perms(0750));
    const Outcome outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "creating directory " + dest.string() + "\n");
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(permissions(dest), 0750u);
    expectInstalled(dest / "Netsiphon", tool);
    EXPECT_EQ(std::distance(fs::directory_iterator(dest), fs::directory_iterator()), 1);
}

TEST_F(Rootmantle, MissingLevelsAreReportedDeepestFirstAndCreatedReadOnly)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "a" / "b" / "c";
    const Outcome outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err,
              "creating directory " + dest.string() + "\n" + "creating directory " + (dir / "a" / "b").string() + "\n"
                  + "creating directory " + (dir / "a").string() + "\n" + "creating directory " + dir.string() + "\n");
    for (const auto &level : {dir / "a", dir / "a" / "b", dest}) {
        EXPECT_TRUE(fs::is_directory(level)) << level;
        EXPECT_EQ(permissions(level), 0555u) << level;
    }
    expectInstalled(dest / "Netsiphon", tool);
}

TEST_F(Rootmantle, ExistingTargetIsReplacedByTheNewTool)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "dest";
    fs::create_directory(dest);
    const fs::path target = dest / "Netsiphon";
    writeFile(target, randomBytes(200000));
    ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(target.c_str(), 0666), 0);
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    expectInstalled(target, tool);

    // A reinstall over a set-user-ID root copy with a shorter tool leaves no old tail.
    const std::string shorter = "#!/bin/sh\nexit 0\n";
    writeFile(source, shorter);
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    expectInstalled(target, shorter);
    EXPECT_EQ(entriesOf(dest), std::vector<std::string>{"Netsiphon"});

    // A second name of the replaced copy stays, no longer set-user-ID.
    const fs::path secondName = dir / "old-Netsiphon";
    ASSERT_EQ(link(target.c_str(), secondName.c_str()), 0);
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    EXPECT_EQ(permissions(secondName) & (S_ISUID | S_ISGID), 0u);
    EXPECT_EQ(readFile(secondName), shorter);
}

TEST_F(Rootmantle, ExistingTargetIsReplacedNotWrittenThrough)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "dest";
    fs::create_directory(dest);
    const fs::path target = dest / "Netsiphon";

    // A former owner that mapped its file for writing must not reach the set-user-ID copy.
    writeFile(target, randomBytes(8192));
    ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    const int former = open(target.c_str(), O_RDWR);
    ASSERT_GE(former, 0) << std::strerror(errno);
    void *mapped = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, former, 0);
    close(former);
    ASSERT_NE(mapped, MAP_FAILED) << std::strerror(errno);
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    std::memset(mapped, 0xCC, 4096);
    msync(mapped, 4096, MS_SYNC);
    munmap(mapped, 4096);
    expectInstalled(target, tool);

    // A newer tool goes in while the installed one is still running.
    fs::copy_file("/bin/sleep", source, fs::copy_options::overwrite_existing);
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    const pid_t running = fork();
    if (running == 0) {
        execl(target.c_str(), "Netsiphon", "5", static_cast<char *>(nullptr));
        _exit(127);
    }
    ASSERT_GT(running, 0);
    const fs::path runningImage = "/proc/" + std::to_string(running) + "/exe";
    for (int tries = 0; tries < 200; ++tries) {
        std::error_code notYet;
        if (fs::read_symlink(runningImage, notYet) == target)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(fs::read_symlink(runningImage), target);
    writeFile(source, tool);
    const Outcome outcome = run({source.string(), dest.string()});
    kill(running, SIGKILL);
    waitpid(running, nullptr, 0);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    expectInstalled(target, tool);
}

TEST_F(Rootmantle, MissingSourceCreatesNoTarget)
{
    const fs::path dest = dir / "dest";
    fs::create_directory(dest);
    fs::remove(source);
    const Outcome outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "refusing to install " + source.string() + ": No such file or directory\n");
    EXPECT_TRUE(fs::is_empty(dest));
}

TEST_F(Rootmantle, SourceWithoutSlashIsTakenFromTheWorkingDirectory)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "dest";
    const Outcome outcome = run({"Netsiphon", dest.string()}, dir / "src");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    expectInstalled(dest / "Netsiphon", tool);
}

TEST_F(Rootmantle, PlantedSymbolicLinkIsNeverFollowed)
{
    const fs::path dest = dir / "dest";
    fs::create_directory(dest);
    const fs::path victim = dir / "victim";
    writeFile(victim, "precious\n");
    fs::permissions(victim, fs::perms(0644));
    fs::create_symlink(victim, dest / "Netsiphon");

    Outcome outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "creating directory " + dest.string() + "\n" + "refusing to install over " + (dest / "Netsiphon").string()
                  + ": it is a symbolic link\n");
    EXPECT_EQ(readFile(victim), "precious\n");
    EXPECT_EQ(permissions(victim), 0644u);
    EXPECT_TRUE(fs::is_symlink(dest / "Netsiphon"));
    EXPECT_EQ(fs::read_symlink(dest / "Netsiphon"), victim);

    // A dangling link must not make the installer create the file it names either.
    fs::remove(dest / "Netsiphon");
    const fs::path planted = dir / "planted";
    fs::create_symlink(planted, dest / "Netsiphon");
    outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_FALSE(fs::exists(planted));
}

TEST_F(Rootmantle, RefusesTargetsAndSourcesThatAreNotPlainFiles)
{
    const fs::path dest = dir / "dest";
    fs::create_directory(dest);
    const fs::path target = dest / "Netsiphon";

    // A second name for another file: only the name is replaced, never that file.
    const fs::path victim = dir / "victim";
    writeFile(victim, "precious\n");
    fs::create_hard_link(victim, target);
    static_cast<void>(run({source.string(), dest.string()}));
    if (isRoot())
        expectInstalled(target, tool);
    EXPECT_EQ(readFile(victim), "precious\n");
    EXPECT_EQ(permissions(victim) & 06000, 0u);
    fs::remove(target);

    // A FIFO, a folder or a device at the target is refused in words of its own and left alone.
    const struct
    {
        const char *what;
        int (*make)(const char *at);
    } planted[] = {
        {"a FIFO", [](const char *at) { return mkfifo(at, 0600); }},
        {"a directory", [](const char *at) { return mkdir(at, 0700); }},
        {"a device", [](const char *at) { return mknod(at, S_IFCHR | 0600, makedev(1, 3)); }},
    };
    for (const auto &thing : planted) {
        SCOPED_TRACE(thing.what);
        if (thing.make(target.c_str()) != 0)
            continue;
        const fs::file_type type = fs::symlink_status(target).type();
        const Outcome outcome = run({source.string(), dest.string()});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err,
                  "creating directory " + dest.string() + "\nrefusing to install over " + target.string() + ": it is "
                      + thing.what + "\n");
        EXPECT_EQ(fs::symlink_status(target).type(), type);
        fs::remove(target);
    }

    // The source's own folder as the destination is refused, the source kept as it was.
    Outcome outcome = run({source.string(), source.parent_path().string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.ends_with(": it is the file to install\n")) << outcome.err;
    EXPECT_TRUE(readFile(source) == tool);
    EXPECT_EQ(permissions(source) & 06000, 0u);

    // A FIFO as the source must neither block nor be installed.
    fs::remove(source);
    ASSERT_EQ(mkfifo(source.c_str(), 0600), 0);
    outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "refusing to install " + source.string() + ": not a regular file\n");
    EXPECT_TRUE(fs::is_empty(dest));
}

TEST_F(Rootmantle, OverlongDestinationEndsWithOneLineAndAReason)
{
    std::string dest = dir.string();
    while (dest.size() < 100000)
        dest += "/x";
    const Outcome outcome = run({source.string(), dest});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "creating directory " + dest + "\n" + "could not open or create the folder " + dest
                  + ": File name too long\n");
    EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST_F(Rootmantle, OnlyTheToolBesideTheInstallerIsInstalled)
{
    const fs::path dest = dir / "dest";
    fs::create_directory(dir / "other");
    const fs::path elsewhere = dir / "other" / "Netsiphon";
    writeFile(elsewhere, tool);
    const std::string onlyBeside = ": only " + source.string() + " can be installed\n";
    for (const std::string &requested : {elsewhere.string(), std::string("/bin/sh")}) {
        const Outcome outcome = run({requested, dest.string()});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "refusing to install " + requested + onlyBeside);
        EXPECT_FALSE(fs::exists(dest));
    }

    // A link swapped in at the tool's own name after approval is not followed either.
    fs::remove(source);
    fs::create_symlink(elsewhere, source);
    const Outcome outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "refusing to install " + source.string() + ": Too many levels of symbolic links\n");
    EXPECT_FALSE(fs::exists(dest));
}

TEST_F(Rootmantle, LinkedFolderOnTheWayToTheDestinationIsNeverEntered)
{
    const fs::path rootFolder = dir / "root-owned";
    fs::create_directory(rootFolder);
    writeFile(rootFolder / "Netsiphon", "kept\n");
    const fs::path link = dir / "link";
    fs::create_symlink(rootFolder, link);

    Outcome outcome = run({source.string(), link.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "creating directory " + link.string() + "\n" + "could not open or create the folder " + link.string()
                  + ": Too many levels of symbolic links\n");
    outcome = run({source.string(), (link / "made" / "here").string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(readFile(rootFolder / "Netsiphon"), "kept\n");
    EXPECT_EQ(entriesOf(rootFolder), std::vector<std::string>{"Netsiphon"});
}

TEST_F(Rootmantle, TargetSwappedDuringInstallsNeverLetsTheInstallerReachOutside)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "dest";
    const fs::path outside = dir / "outside";
    fs::create_directory(outside);
    const fs::path victim = outside / "victim";
    writeFile(victim, "precious\n");
    fs::permissions(victim, fs::perms(0644));
    const fs::path stage = dir / "stage";
    fs::create_directory(stage);
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);

    // Links to a file and a folder outside, and plain files, renamed in turn over the target.
    std::atomic<bool> done = false;
    std::thread swapper([&] {
        std::error_code ignored;
        for (unsigned round = 0; !done; ++round) {
            const fs::path staged = stage / "next";
            if (round % 3 == 0)
                fs::create_symlink(victim, staged, ignored);
            else if (round % 3 == 1)
                fs::create_directory_symlink(outside, staged, ignored);
            else
                writeFile(staged, "swapped\n");
            fs::rename(staged, dest / "Netsiphon", ignored);
            // Each kind stays a moment, so that a plain file is there for a third of the time
            // whatever the scheduler does, and some runs get as far as replacing it.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    // Most runs find a link at the target and are refused, so the runs go on until one has
    // installed.
    int installed = 0;
    std::string lastRefusal;
    for (int attempt = 0; attempt < 1000 && (attempt < 100 || installed == 0); ++attempt) {
        const Outcome outcome = run({source.string(), dest.string()});
        installed += outcome.status == 0 ? 1 : 0;
        lastRefusal = outcome.status == 0 ? lastRefusal : outcome.err;
    }
    done = true;
    swapper.join();

    EXPECT_GT(installed, 0) << lastRefusal;
    EXPECT_EQ(readFile(victim), "precious\n");
    EXPECT_EQ(permissions(victim), 0644u);
    EXPECT_EQ(entriesOf(outside), std::vector<std::string>{"victim"});
    EXPECT_EQ(entriesOf(dest), std::vector<std::string>{"Netsiphon"});
}

TEST_F(Rootmantle, FullDiskKeepsThePreviousToolWorking)
{
    REQUIRE_ROOT();
    const fs::path small = dir / "small";
    fs::create_directory(small);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "needs to mount a tmpfs: " << std::strerror(errno);
    const ScopedMount mounted{small};
    const fs::path dest = small / "dest";
    const std::string working = "#!/bin/sh\nexit 7\n";
    writeFile(source, working);
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);

    const int filler = open((small / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'f');
    while (write(filler, block.data(), block.size()) > 0) { }
    close(filler);
    writeFile(source, working + std::string(64 * 1024, '#'));
    const Outcome outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.ends_with("could not copy " + source.string() + " into " + dest.string()
                                      + ": No space left on device\n"))
        << outcome.err;

    expectInstalled(dest / "Netsiphon", working);
    EXPECT_EQ(exitStatusOf(dest / "Netsiphon"), 7);
    EXPECT_EQ(entriesOf(dest), std::vector<std::string>{"Netsiphon"});
}

TEST_F(Rootmantle, ForAnotherUserABundleOthersCanWriteIsRefused)
{
    fs::permissions(source.parent_path(), fs::perms(01777));
    const fs::path dest = dir / "dest";
    const OnBehalfOfAUser pkexec;
    const Outcome outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.starts_with("refusing to install " + source.string() + ": ")) << outcome.err;
    EXPECT_TRUE(outcome.err.ends_with(" is not a folder only root can write\n")) << outcome.err;
    EXPECT_FALSE(fs::exists(dest));
}

TEST_F(Rootmantle, ForAnotherUserOnlyRootsOwnToolGoesOnlyIntoTheSupportFolder)
{
    REQUIRE_ROOT();
    if (const std::string whyNot = copyIntoRootOnlyBundle(); !whyNot.empty())
        GTEST_SKIP() << "needs a bundle folder only root can write: " << whyNot;
    const OnBehalfOfAUser pkexec;
    // The destination rule is reached only by a tool taken as root's own.
    const fs::path elsewhere = dir / "x" / "nologin";
    Outcome outcome = run({source.string(), elsewhere.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "refusing to install into " + elsewhere.string() + ": only " + kSupportDestination
                  + " is accepted for another user\n");
    EXPECT_FALSE(fs::exists(dir / "x"));

    const fs::path dest = dir / "dest";
    const std::string refusing = "refusing to install " + source.string() + ": ";
    fs::permissions(source, fs::perms(0664));
    outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.err, refusing + "it is not a file only root can write\n");
    fs::permissions(source, fs::perms(0644));
    fs::create_hard_link(source, bundle / "second-name");
    outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.err, refusing + "it has more than one name\n");
    fs::remove(bundle / "second-name");
    fs::permissions(bundle, fs::perms(0775));
    outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.err, refusing + bundle.string() + " is not a folder only root can write\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_FALSE(fs::exists(dest));
}

TEST_F(Rootmantle, FoldersOthersCanChangeAreFoundFromTheRootDown)
{
    REQUIRE_ROOT();
    if (const std::string whyNot = copyIntoRootOnlyBundle(); !whyNot.empty())
        GTEST_SKIP() << "needs a bundle folder only root can write: " << whyNot;
    const fs::path level = bundle / "level";
    fs::create_directory(level);
    EXPECT_EQ(firstLevelOthersCanChange((level / "missing" / "deeper").string()), "");
    ASSERT_EQ(chown(level.c_str(), 65534, 0), 0);
    EXPECT_EQ(firstLevelOthersCanChange((level / "missing").string()), level.string());
    ASSERT_EQ(chown(level.c_str(), 0, 0), 0);
    fs::permissions(level, fs::perms(0757));
    EXPECT_EQ(firstLevelOthersCanChange(level.string()), level.string());
}

TEST_F(Rootmantle, CallersFileSizeLimitNeitherKillsNorLeavesATemporaryFile)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "dest";
    const std::string working = "#!/bin/sh\nexit 7\n";
    writeFile(source, working);
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    writeFile(source, tool);

    // A limit the installer may not lift makes the copy fail, and the tool installed before
    // stays.
    Outcome outcome = run({source.string(), dest.string()}, {}, [] {
        const rlimit small{8192, 8192};
        if (prctl(PR_CAPBSET_DROP, CAP_SYS_RESOURCE) != 0 || setrlimit(RLIMIT_FSIZE, &small) != 0)
            _exit(125);
    });
    if (outcome.status == 125)
        GTEST_SKIP() << "needs to drop CAP_SYS_RESOURCE from the installer";
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "creating directory " + dest.string() + "\n" + "could not copy " + source.string() + " into "
                  + dest.string() + ": File too large\n");
    expectInstalled(dest / "Netsiphon", working);
    EXPECT_EQ(entriesOf(dest), std::vector<std::string>{"Netsiphon"});

    // One it may lift does not stand in its way.
    outcome = run({source.string(), dest.string()}, {}, [] {
        const rlimit small{8192, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &small);
    });
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    expectInstalled(dest / "Netsiphon", tool);
}

TEST_F(Rootmantle, ClosedStandardDescriptorsLeaveTheToolUntouched)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "a" / "b";
    const Outcome outcome = run({source.string(), dest.string()}, {}, [] {
        close(0);
        close(1);
        close(2);
    });
    EXPECT_EQ(outcome.status, 0);
    expectInstalled(dest / "Netsiphon", tool);
}

TEST_F(Rootmantle, TooFewDescriptorsNameNoFolderThatExists)
{
    const fs::path dest = dir / "a" / "b";
    const Outcome outcome = run({source.string(), dest.string()}, {}, [] {
        // Room for the tool and one folder besides the standard descriptors, not for two.
        const rlimit few{5, 5};
        if (close_range(3, ~0u, 0) != 0 || setrlimit(RLIMIT_NOFILE, &few) != 0)
            _exit(125);
    });
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "creating directory " + dest.string() + "\ncould not open or create the folder " + dest.string()
                  + ": Too many open files\n");
    EXPECT_FALSE(fs::exists(dir / "a"));
}

TEST_F(Rootmantle, InstalledToolCarriesNoInheritedAcl)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "dest";
    fs::create_directory(dest);
    // The kernel's (little-endian) form of "default:user::rwx, default:user:nobody:rwx,
    // default:group::r-x, default:mask::rwx, default:other::r-x".
    struct Entry
    {
        std::uint16_t tag;
        std::uint16_t permissions;
        std::uint32_t id;
    };
    const struct
    {
        std::uint32_t version = 2;
        Entry entries[5] = {{0x01, 7, ~0u}, {0x02, 7, 65534}, {0x04, 5, ~0u}, {0x10, 7, ~0u}, {0x20, 5, ~0u}};
    } inherited;
    if (setxattr(dest.c_str(), "system.posix_acl_default", &inherited, sizeof inherited, 0) != 0)
        GTEST_SKIP() << "needs a default ACL on " << dest << ": " << std::strerror(errno);

    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    expectInstalled(dest / "Netsiphon", tool);
    const ssize_t aclSize = getxattr((dest / "Netsiphon").c_str(), "system.posix_acl_access", nullptr, 0);
    EXPECT_EQ(aclSize < 0 ? errno : 0, ENODATA);
}

TEST_F(Rootmantle, AFirstInstallIsForTheCaptureGroupAndAReinstallKeepsWhatWasChosen)
{
    REQUIRE_ROOT();
    ASSERT_EQ(getgrnam(kCaptureGroup), nullptr) << "the test's /etc already has the group";
    const fs::path dest = dir / "dest";
    writeFile(source, "#!/bin/sh\nexit 7\n");
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    const struct group *made = getgrnam(kCaptureGroup);
    ASSERT_NE(made, nullptr);
    EXPECT_LT(made->gr_gid, 1000u) << "not a system group";
    const fs::path target = dest / "Netsiphon";
    expectInstalled(target, "#!/bin/sh\nexit 7\n");
    EXPECT_EQ(aclOf(target), "");
    EXPECT_EQ(statusRunByNobody(target), 126);

    // An administrator's own choice, even a careless one, survives a new version made safe:
    // nobody but root writes, whoever may execute may read, and nothing is widened.
    ASSERT_EQ(chown(target.c_str(), 0, 65534), 0);
    ASSERT_EQ(chmod(target.c_str(), 04731), 0);
    ASSERT_TRUE(setAcl(target, "u::rwx,u:4242:-wx,u:4243:r-x,g::-wx,m::r-x,o::--x"));
    writeFile(source, "#!/bin/sh\nexit 8\n");
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    expectInstalled(target, "#!/bin/sh\nexit 8\n", 04755, 65534);
    EXPECT_EQ(aclOf(target), "user::rwx,user:4242:r-x,user:4243:r-x,group::r-x,mask::r-x,other::r-x");
    EXPECT_EQ(statusRunByNobody(target), 8);
}

TEST_F(Rootmantle, EveryoneIsRootsOwnChoiceAndReinstallsKeepIt)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "dest";
    writeFile(source, "#!/bin/sh\nexit 7\n");
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    ASSERT_EQ(run({"--everyone", source.string(), dest.string()}).status, 0);
    const fs::path target = dest / "Netsiphon";
    expectInstalled(target, "#!/bin/sh\nexit 7\n", 04555, 0);
    EXPECT_EQ(statusRunByNobody(target), 7);
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    expectInstalled(target, "#!/bin/sh\nexit 7\n", 04555, 0);
    EXPECT_EQ(aclOf(target), "");
}

TEST_F(Rootmantle, AnApprovalNeverWidensBeyondWhoAskedAndOnlyWithAUserPkexecNamed)
{
    REQUIRE_RUN_FOR_ANOTHER_USER(false);
    const std::string refusing = "refusing to install " + source.string() + ": ";
    struct Case
    {
        const char *pkexecUid;
        std::vector<std::string> options;
        std::string refusal;
    };
    const std::string notAUser = refusing + "PKEXEC_UID is not the number of a user of this system\n";
    for (const Case &refused : {
             Case{"65534",
                  {"--everyone"},
                  refusing + "--everyone is for root itself, never for a run on behalf of another user\n"},
             Case{
                 nullptr, {"--grant"}, refusing + "--grant allows the user who asked through pkexec, and nobody did\n"},
             Case{"", {}, notAUser},
             Case{"nobody", {}, notAUser},
             Case{"-1", {}, notAUser},
             Case{"+65534", {}, notAUser},
             Case{" 65534", {}, notAUser},
             Case{"65534 ", {}, notAUser},
             Case{"0x10", {}, notAUser},
             Case{"4294967295", {}, notAUser},
             Case{"4294967296", {}, notAUser},
             Case{"99999999999999999999", {}, notAUser},
             Case{"3999999999", {}, notAUser},
         }) {
        SCOPED_TRACE(refused.pkexecUid != nullptr ? refused.pkexecUid : "(unset)");
        if (refused.pkexecUid != nullptr)
            setenv("PKEXEC_UID", refused.pkexecUid, 1);
        std::vector<std::string> args = refused.options;
        args.insert(args.end(), {source.string(), kSupportDestination});
        const Outcome outcome = run(args);
        unsetenv("PKEXEC_UID");
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, refused.refusal);
        EXPECT_FALSE(fs::exists(kSupportDestination));
    }
}

TEST_F(Rootmantle, WhoAskedMayRunAFirstInstallAtOnceAndGrantAddsOnlyThem)
{
    REQUIRE_RUN_FOR_ANOTHER_USER(false);
    writeFile(source, "#!/bin/sh\nexit 7\n");
    const fs::path target = fs::path(kSupportDestination) / "Netsiphon";
    {
        const OnBehalfOfAUser pkexec;
        const Outcome outcome = run({source.string(), kSupportDestination});
        ASSERT_EQ(outcome.status, 0) << outcome.err;
    }
    expectInstalled(target, "#!/bin/sh\nexit 7\n");
    EXPECT_EQ(aclOf(target), "user::rwx,user:65534:r-x,group::r-x,mask::r-x,other::---");
    EXPECT_EQ(statusRunByNobody(target), 7);

    // An administrator's tool whose mask kept one person from running it: a grant to another
    // person lets that one person in, and the first stays as limited as before.
    ASSERT_EQ(chown(target.c_str(), 0, 65534), 0);
    ASSERT_EQ(chmod(target.c_str(), 04700), 0);
    ASSERT_TRUE(setAcl(target, "u::rwx,u:4242:r-x,g::---,m::r--,o::---"));
    ASSERT_EQ(statusRunByNobody(target), 126);
    const OnBehalfOfAUser pkexec;
    const Outcome reinstalled = run({source.string(), kSupportDestination});
    EXPECT_EQ(reinstalled.status, 0) << reinstalled.err;
    EXPECT_EQ(statusRunByNobody(target), 126) << "a reinstall is no grant";
    const Outcome granted = run({"--grant", source.string(), kSupportDestination});
    EXPECT_EQ(granted.status, 0) << granted.err;
    expectInstalled(target, "#!/bin/sh\nexit 7\n", 04750, 65534);
    EXPECT_EQ(aclOf(target), "user::rwx,user:4242:r--,user:65534:r-x,group::---,mask::r-x,other::---");
    EXPECT_EQ(statusRunByNobody(target), 7);
}

TEST_F(Rootmantle, AnApprovalReplacesOnlyASetUserIdRootToolWithOneName)
{
    REQUIRE_RUN_FOR_ANOTHER_USER(false);
    const fs::path target = fs::path(kSupportDestination) / "Netsiphon";
    const fs::path secondName = fs::path(kSupportDestination) / "Netsiphon.old";
    ASSERT_EQ(run({source.string(), kSupportDestination}).status, 0);
    // An administrator's choices that are no install of the capture tool to keep.
    const struct
    {
        const char *reason;
        bool (*choose)(const fs::path &target, const fs::path &secondName);
    } chosen[] = {
        {"it has more than one name",
         [](const fs::path &at, const fs::path &also) { return link(at.c_str(), also.c_str()) == 0; }},
        {"it is not set-user-ID root",
         [](const fs::path &at, const fs::path &) { return chmod(at.c_str(), 0750) == 0; }},
        {"it is not set-user-ID root",
         [](const fs::path &at, const fs::path &) {
             return chown(at.c_str(), 65534, static_cast<gid_t>(-1)) == 0 && chmod(at.c_str(), 04750) == 0;
         }},
    };
    const OnBehalfOfAUser pkexec;
    for (const auto &choice : chosen) {
        SCOPED_TRACE(choice.reason);
        ASSERT_EQ(chown(target.c_str(), 0, 65534), 0);
        ASSERT_EQ(chmod(target.c_str(), 04750), 0);
        ASSERT_TRUE(choice.choose(target, secondName));
        struct stat before = {};
        ASSERT_EQ(lstat(target.c_str(), &before), 0);
        for (const std::vector<std::string> &request :
             {std::vector<std::string>{source.string(), kSupportDestination},
              std::vector<std::string>{"--grant", source.string(), kSupportDestination}}) {
            const Outcome outcome = run(request);
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(outcome.err,
                      "creating directory " + kSupportDestination + "\nrefusing to install over " + target.string()
                          + ": " + choice.reason + "; only root running the installer itself replaces it\n");
        }
        struct stat after = {};
        ASSERT_EQ(lstat(target.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_gid, 65534u);
        EXPECT_EQ(aclOf(target), "");
        fs::remove(secondName);
        ASSERT_EQ(chown(target.c_str(), 0, 65534), 0);
    }
}

TEST_F(Rootmantle, WithoutAclsWhoAskedJoinsTheCaptureGroupFromTheirNextLogin)
{
    REQUIRE_RUN_FOR_ANOTHER_USER(true);
    writeFile(source, "#!/bin/sh\nexit 7\n");
    const OnBehalfOfAUser pkexec;
    const Outcome outcome = run({source.string(), kSupportDestination});
    const fs::path target = fs::path(kSupportDestination) / "Netsiphon";
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(outcome.err.ends_with(target.string()
                                      + " keeps no ACL: added nobody to the group quillmere, from "
                                        "their next login on\n"))
        << outcome.err;
    expectInstalled(target, "#!/bin/sh\nexit 7\n");
    EXPECT_EQ(statusRunByNobody(target), 126);
    EXPECT_EQ(statusRunByNobody(target, true), 7);

    // Another group an administrator chose may give far more than capturing: nobody is added.
    ASSERT_EQ(chown(target.c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(target.c_str(), 04750), 0);
    const Outcome refused = run({"--grant", source.string(), kSupportDestination});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "creating directory " + kSupportDestination + "\n" + target.string()
                  + " keeps no ACL and its group is not quillmere: add nobody to its group yourself\n");
}

TEST_F(Rootmantle, ASmallInheritedStackLimitNeitherCrashesTheCopyNorTheAccountTools)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "dest";
    const Outcome outcome = run({source.string(), dest.string()}, {}, [] {
        const rlimit small{48 * 1024, 48 * 1024};
        if (prctl(PR_CAPBSET_DROP, CAP_SYS_RESOURCE) != 0 || setrlimit(RLIMIT_STACK, &small) != 0)
            _exit(125);
    });
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    expectInstalled(dest / "Netsiphon", tool);
    EXPECT_EQ(entriesOf(dest), std::vector<std::string>{"Netsiphon"});
}

TEST_F(Rootmantle, TheCallersTerminalNeitherStopsNorEndsTheInstallerOrItsAccountTools)
{
    REQUIRE_ROOT();
    // The system's groupadd behind a script that notes its process id and its session.
    const fs::path noted = dir / "session";
    const fs::path groupadd = dir / "groupadd";
    fs::copy_file("/usr/sbin/groupadd", dir / "groupadd.real");
    writeFile(groupadd,
              "#!/bin/sh\necho \"$$ $(cut -d' ' -f6 /proc/$$/stat)\" >" + noted.string() + "\nexec "
                  + (dir / "groupadd.real").string() + " \"$@\"\n");
    fs::permissions(groupadd, fs::perms(0755));
    if (mount(groupadd.c_str(), "/usr/sbin/groupadd", nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "needs to bind-mount over /usr/sbin/groupadd: " << std::strerror(errno);
    const ScopedMount mounted{"/usr/sbin/groupadd"};

    // A full standard error holds the installer at its first line, after it has set up its
    // signals; in a process group of its own, as a terminal's foreground job is.
    OwnedPipe error;
    ASSERT_TRUE(error.open(O_NONBLOCK));
    const std::vector<std::byte> page(4096);
    while (write(error.writeEnd.get(), page.data(), page.size()) > 0) { }
    ASSERT_EQ(fcntl(error.writeEnd.get(), F_SETFL, 0), 0);
    const OwnedDescriptor quiet(open("/dev/null", O_WRONLY | O_CLOEXEC));
    const fs::path dest = dir / "dest";
    const pid_t running
        = start({source.string(), dest.string()}, quiet.get(), error.writeEnd.get(), {}, [] { setpgid(0, 0); });
    error.writeEnd.reset();
    for (int tries = 0; tries < 1000 && commandAndStateOf(running) != "Rootmantle S"; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(commandAndStateOf(running), "Rootmantle S");
    for (const int fromTerminal : {SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGHUP})
        kill(running, fromTerminal);
    std::vector<std::byte> filled(64 * 1024);
    ASSERT_EQ(readExactly(error.readEnd.get(), filled), static_cast<ssize_t>(filled.size()));

    int status = 0;
    ASSERT_EQ(waitpid(running, &status, WUNTRACED), running);
    if (WIFSTOPPED(status)) {
        kill(running, SIGKILL);
        waitpid(running, nullptr, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    expectInstalled(dest / "Netsiphon", tool);
    std::istringstream session(readFile(noted));
    pid_t groupaddId = 0;
    pid_t leader = -1;
    session >> groupaddId >> leader;
    EXPECT_EQ(leader, groupaddId) << "groupadd runs in the caller's session";
}

TEST_F(Rootmantle, TemporaryFilesOfEndedRunsGoAndThoseOfRunningOnesStay)
{
    REQUIRE_ROOT();
    const fs::path dest = dir / "dest";
    fs::create_directory(dest);
    for (const char *name : {".Netsiphon-0123456789abcdef", ".Netsiphon-1", ".Netsiphon-running"})
        writeFile(dest / name, "half a copy");
    writeFile(dest / ".Netsiphon-2", "a copy still being made");
    const int running = open((dest / ".Netsiphon-2").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(running, LOCK_EX), 0);
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    close(running);
    auto entries = entriesOf(dest);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{".Netsiphon-2", ".Netsiphon-running", "Netsiphon"}));
}

TEST_F(Rootmantle, TheCopyIsOnTheDiskWithItsRightsBeforeItTakesTheName)
{
    REQUIRE_ROOT();
    if (std::system("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs strace";
    const fs::path dest = dir / "dest";
    const fs::path trace = dir / "trace";
    // A reinstall over a tool with an administrator's ACL, which the copy gets too.
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    ASSERT_TRUE(setAcl(dest / "Netsiphon", "u::rwx,u:4242:r-x,g::r-x,m::r-x,o::---"));
    // A leak check cannot run under a tracer (sanitizer builds).
    const std::string command = "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" strace -f -qq -y -o "
        + trace.string() + " -e trace=fsync,fdatasync,sync,syncfs,fchmod,fchmodat,fsetxattr,rename,renameat,renameat2 "
        + installer.string() + " " + source.string() + " " + dest.string() + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    expectInstalled(dest / "Netsiphon", tool);
    // The calls on the temporary file, in order (its descriptor shows its path): the set-user-ID
    // bit comes only once the ACL stands, the copy is synced, and only then does it take the
    // tool's name.
    std::vector<std::string> calls;
    std::istringstream lines(readFile(trace));
    for (std::string line; std::getline(lines, line);)
        if (line.find("/.Netsiphon-") != std::string::npos || line.find("\".Netsiphon-") != std::string::npos) {
            // "<pid> <call>(...": the process id is padded with spaces.
            const std::size_t call = line.find_first_not_of(' ', line.find(' '));
            const std::string name = line.substr(call, line.find('(') - call);
            const std::size_t mode = line.find(", ") + 2;
            calls.push_back(name == "fchmod" ? name + " " + line.substr(mode, line.find(')', mode) - mode)
                                : name.starts_with("rename") ? "rename"
                                                             : name);
        }
    EXPECT_EQ(calls, (std::vector<std::string>{"fchmod 0750", "fsetxattr", "fchmod 04750", "fsync", "rename"}))
        << readFile(trace);
}

TEST_F(Rootmantle, ACleanupBetweenCreatingAndLockingTheCopyCostsOnlyANewName)
{
    REQUIRE_ROOT();
    if (std::system("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs strace";
    const fs::path dest = dir / "dest";
    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    // The reinstall waits two seconds before it locks its new copy, and another run's cleanup
    // (here the test's) comes in between.
    const std::string command
        = "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" strace -f -qq -o /dev/null"
          " -e trace=flock -e inject=flock:delay_enter=2000000:when=1 "
        + installer.string() + " " + source.string() + " " + dest.string() + " 2>/dev/null";
    int status = -1;
    std::thread reinstall([&] { status = std::system(command.c_str()); });
    const OwnedDescriptor folder(open(dest.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int tries = 0; tries < 1000 && entriesOf(dest).size() == 1; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    removeAbandonedTemporaries(folder.get());
    reinstall.join();
    EXPECT_EQ(status, 0);
    expectInstalled(dest / "Netsiphon", tool);
    EXPECT_EQ(entriesOf(dest), std::vector<std::string>{"Netsiphon"});
}
