#include <gtest/gtest.h>

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
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kRootmantle = QUILLMERE_BUILD_DIR "/libexec/quillmere/Rootmantle";

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
    }

    void TearDown() override
    {
        // Installed folders are 0555; root removes them anyway, others need write back.
        std::error_code ignored;
        for (const auto &entry : fs::recursive_directory_iterator(dir, ignored))
            if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }

    // Runs the real installer with stdout and stderr captured in files of the test folder.
    Outcome run(const std::vector<std::string> &args, const fs::path &cwd = {})
    {
        const fs::path outPath = dir / "stdout";
        const fs::path errPath = dir / "stderr";
        const pid_t child = fork();
        if (child == 0) {
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0
                || (!cwd.empty() && chdir(cwd.c_str()) != 0))
                _exit(126);
            std::vector<char *> argv{const_cast<char *>(kRootmantle.c_str())};
            for (const auto &arg : args)
                argv.push_back(const_cast<char *>(arg.c_str()));
            argv.push_back(nullptr);
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

    static bool isRoot() { return geteuid() == 0; }

    fs::path dir;
    fs::path source;
    // Larger than any one read and not a multiple of a block, with every byte value.
    const std::string tool = randomBytes(70001);
};

#define REQUIRE_ROOT()                                                                     \
    if (!isRoot())                                                                         \
    GTEST_SKIP() << "needs root: the installer makes root the owner of its copy"

} // namespace

TEST_F(Rootmantle, WrongArgumentCountPrintsUsageAndTouchesNothing)
{
    const fs::path dest = dir / "dest";
    for (const auto &args : {std::vector<std::string>{source.string()},
                             std::vector<std::string>{source.string(), dest.string(), "x"},
                             std::vector<std::string>{}}) {
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "usage: " + kRootmantle + " <file> <destdir>\n");
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

TEST_F(Rootmantle, ExistingTargetIsTruncatedAndInstalledAgain)
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
    fs::create_directory(dir / "newer");
    const std::string shorter = "#!/bin/sh\nexit 0\n";
    writeFile(dir / "newer" / "Netsiphon", shorter);
    ASSERT_EQ(run({(dir / "newer" / "Netsiphon").string(), dest.string()}).status, 0);
    expectInstalled(target, shorter);
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
    const Outcome outcome = run({(dir / "src" / "Absent").string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "creating directory " + dest.string() + "\n"
                               + "chown: No such file or directory\n");
    EXPECT_FALSE(fs::exists(dest / "Absent"));
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

    // A second name for another file: writing through it would replace that file.
    const fs::path victim = dir / "victim";
    writeFile(victim, "precious\n");
    fs::create_hard_link(victim, target);
    Outcome outcome = run({source.string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("chown: Too many links\n"), std::string::npos);
    EXPECT_EQ(readFile(victim), "precious\n");
    EXPECT_EQ(permissions(victim) & 06000, 0u);
    fs::remove(target);

    // A FIFO at the target or as the source must neither block nor be installed.
    ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
    EXPECT_EQ(run({source.string(), dest.string()}).status, 1);
    EXPECT_TRUE(fs::is_fifo(target));
    fs::remove(target);
    const fs::path fifoSource = dir / "src" / "Fifo";
    ASSERT_EQ(mkfifo(fifoSource.c_str(), 0600), 0);
    outcome = run({fifoSource.string(), dest.string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("chown: Invalid argument\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(dest / "Fifo"));

    // Installing a file over itself would truncate it to nothing.
    outcome = run({source.string(), source.parent_path().string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(readFile(source) == tool);
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
