// SPDX-License-Identifier: MIT
#include "tools/installer/InstallerFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
    struct stat info {};
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
        struct stat info {};
        if (stat(folder.c_str(), &info) != 0 || info.st_uid != 0 || (info.st_mode & 022) != 0)
            return folder.string();
        if (folder == folder.root_path())
            return {};
    }
}

// A step of the installer's child between its set-up and exec: system calls only.
using ChildStep = void (*)();

class Rootmantle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "rootmantle-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        dir = pattern;
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

    // Runs the installer with stdout and stderr captured in files of the test folder. The
    // child only makes system calls: another thread of the test may hold malloc's lock.
    Outcome run(const std::vector<std::string> &args, const fs::path &cwd = {},
                ChildStep inChild = nullptr)
    {
        const fs::path outPath = dir / "stdout";
        const fs::path errPath = dir / "stderr";
        std::vector<char *> argv{const_cast<char *>(installer.c_str())};
        for (const auto &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0
                || (!cwd.empty() && chdir(cwd.c_str()) != 0))
                _exit(126);
            if (inChild != nullptr)
                inChild();
            execv(argv[0], argv.data());
            _exit(127);
        }
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

    void expectInstalled(const fs::path &target, const std::string &bytes)
    {
        struct stat info {};
        ASSERT_EQ(lstat(target.c_str(), &info), 0) << target;
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_uid, 0u);
        EXPECT_EQ(info.st_mode & 07777, 04555u);
        EXPECT_TRUE(readFile(target) == bytes) << "content differs from the source";
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

#define REQUIRE_ROOT()                                                                     \
    if (!isRoot())                                                                         \
    GTEST_SKIP() << "needs root: the installer makes root the owner of its copy"

} // namespace

TEST_F(Rootmantle, WrongUsagePrintsUsageAndTouchesNothing)
{
    const fs::path dest = dir / "dest";
    // A relative destination would depend on wherever the elevation step starts the installer.
    for (const auto &args : {std::vector<std::string>{source.string()},
                             std::vector<std::string>{source.string(), dest.string(), "x"},
                             std::vector<std::string>{},
                             std::vector<std::string>{source.string(), "dest"},
                             std::vector<std::string>{source.string(), ""}}) {
        const Outcome outcome = run(args, dir);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "usage: " + installer.string() + " <file> <destdir>\n");
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
    EXPECT_EQ(outcome.err, "creating directory " + dest.string() + "\n"
                               + "creating directory " + (dir / "a" / "b").string() + "\n"
                               + "creating directory " + (dir / "a").string() + "\n"
                               + "creating directory " + dir.string() + "\n");
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
    EXPECT_EQ(outcome.err,
              "refusing to install " + source.string() + ": No such file or directory\n");
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
    EXPECT_EQ(outcome.err, "creating directory " + dest.string() + "\n"
                               + "chown: Too many levels of symbolic links\n");
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

    // A FIFO or a folder at the target is refused and left alone.
    ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
    EXPECT_EQ(run({source.string(), dest.string()}).status, 1);
    EXPECT_TRUE(fs::is_fifo(target));
    fs::remove(target);
    fs::create_directory(target);
    EXPECT_EQ(run({source.string(), dest.string()}).status, 1);
    EXPECT_TRUE(fs::is_directory(target));
    fs::remove(target);

    // The source's own folder as the destination is refused, the source kept as it was.
    Outcome outcome = run({source.string(), source.parent_path().string()});
    EXPECT_EQ(outcome.status, 1);
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
    EXPECT_EQ(outcome.err, "creating directory " + dest + "\n" + "chown: File name too long\n");
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
    EXPECT_EQ(outcome.err,
              "refusing to install " + source.string() + ": Too many levels of symbolic links\n");
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
    EXPECT_EQ(outcome.err, "creating directory " + link.string() + "\n"
                               + "chown: Too many levels of symbolic links\n");
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
        }
    });
    // Most runs find a link at the target and are refused; on a busy machine a hundred of
    // them can all be, so the runs go on until one has installed.
    int installed = 0;
    for (int attempt = 0; attempt < 1000 && (attempt < 100 || installed == 0); ++attempt)
        installed += run({source.string(), dest.string()}).status == 0 ? 1 : 0;
    done = true;
    swapper.join();

    EXPECT_GT(installed, 0);
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
    while (write(filler, block.data(), block.size()) > 0) {
    }
    close(filler);
    writeFile(source, working + std::string(64 * 1024, '#'));
    const Outcome outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("chown: No space left on device\n"), std::string::npos)
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
    EXPECT_TRUE(outcome.err.starts_with("refusing to install " + source.string() + ": "))
        << outcome.err;
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
    EXPECT_EQ(outcome.err, "refusing to install into " + elsewhere.string() + ": only "
                               + kSupportDestination + " is accepted for another user\n");
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
    EXPECT_EQ(outcome.err, "creating directory " + dest.string() + "\n"
                               + "chown: File too large\n");
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
        Entry entries[5] = {{0x01, 7, ~0u}, {0x02, 7, 65534}, {0x04, 5, ~0u},
                            {0x10, 7, ~0u}, {0x20, 5, ~0u}};
    } inherited;
    if (setxattr(dest.c_str(), "system.posix_acl_default", &inherited, sizeof inherited, 0) != 0)
        GTEST_SKIP() << "needs a default ACL on " << dest << ": " << std::strerror(errno);

    ASSERT_EQ(run({source.string(), dest.string()}).status, 0);
    expectInstalled(dest / "Netsiphon", tool);
    const ssize_t aclSize =
        getxattr((dest / "Netsiphon").c_str(), "system.posix_acl_access", nullptr, 0);
    EXPECT_EQ(aclSize < 0 ? errno : 0, ENODATA);
}
