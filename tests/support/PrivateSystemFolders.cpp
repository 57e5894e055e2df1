// SPDX-License-Identifier: MIT
#include "PrivateSystemFolders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string failed(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

// Overlays `target` with an upper folder on a tmpfs that is detached again at once: the
// overlay keeps it alive, and nothing of it is left in /tmp, whatever becomes of the process.
std::string overlay(const fs::path &target)
{
    std::string scratch = (fs::temp_directory_path() / "qm-overlay-XXXXXX").string();
    if (mkdtemp(scratch.data()) == nullptr)
        return failed("mkdtemp");
    std::string why;
    const std::string options
        = "lowerdir=" + target.string() + ",upperdir=" + scratch + "/upper,workdir=" + scratch + "/work";
    if (mount("tmpfs", scratch.c_str(), "tmpfs", 0, "mode=0700") != 0)
        why = failed("mount tmpfs");
    else if (!fs::create_directory(scratch + "/upper") || !fs::create_directory(scratch + "/work"))
        why = "cannot make the overlay's folders";
    else if (mount("overlay", target.c_str(), "overlay", 0, options.c_str()) != 0)
        why = failed("mount overlay on " + target.string());
    umount2(scratch.c_str(), MNT_DETACH);
    rmdir(scratch.c_str());
    return why;
}

std::string enterNamespace()
{
    if (geteuid() != 0)
        return "needs root: mounts private system folders";
    if (unshare(CLONE_NEWNS) != 0)
        return failed("needs a private mount namespace (start the test on its own)");
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return failed("mount --make-rprivate /");
    return {};
}

} // namespace

std::string PrivateSystemFolders::enter()
{
    static const std::string entered = enterNamespace();
    return entered.empty() ? overlay("/etc") : entered;
}

std::string PrivateSystemFolders::emptyFolderAt(const std::string &path, bool keepsNoAcl)
{
    fs::path existing = path;
    while (!fs::exists(existing))
        existing = existing.parent_path();
    if (existing != fs::path(path)) {
        if (std::string why = overlay(existing); !why.empty())
            return why;
        std::error_code error;
        fs::create_directories(path, error);
        if (error)
            return "cannot make " + path + ": " + error.message();
    }
    const char *type = keepsNoAcl ? "ramfs" : "tmpfs";
    if (mount(type, path.c_str(), type, 0, "mode=0755") != 0)
        return failed(std::string("mount ") + type + " on " + path);
    return {};
}
