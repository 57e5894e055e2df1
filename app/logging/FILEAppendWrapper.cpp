// SPDX-License-Identifier: MIT
#include "logging/FILEAppendWrapper.h"

#include "platform/SystemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Created on first use and never destroyed, so wrappers released during process exit
// still find it.
struct Registry
{
    std::mutex mutex;
    QHash<QString, std::weak_ptr<FILEAppendWrapper>> wrappers;
};

Registry &registry()
{
    static Registry *const instance = new Registry;
    return *instance;
}

QString homeOfUser(const QString &user)
{
    if (user.isEmpty())
        return QDir::homePath();
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    const QByteArray name = user.toLocal8Bit();
    if (getpwnam_r(name.constData(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return QFile::decodeName(found->pw_dir);
}

QString expandTilde(const QString &path)
{
    if (!path.startsWith(u'~'))
        return path;
    const qsizetype slash = path.indexOf(u'/');
    const qsizetype userEnd = slash < 0 ? path.size() : slash;
    const QString home = homeOfUser(path.mid(1, userEnd - 1));
    if (home.isEmpty())
        return path;
    return home + path.mid(userEnd);
}

// The components of the real parent of the absolute path made of these components.
QStringList realParent(QStringList components)
{
    const QString real = QFileInfo(u'/' + components.join(u'/')).canonicalFilePath();
    if (!real.isEmpty())
        components = real.split(u'/', Qt::SkipEmptyParts);
    if (!components.isEmpty())
        components.removeLast();
    return components;
}

// The folder the path names its file in, open for looking at and opening relative to.
int openFolderOf(const QString &path, qsizetype slash)
{
    const QString folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
    return ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// A sticky folder everybody may write to, such as /tmp: others can plant a link or a file of
// their own at the log's name there, and where the kernel's link protections are off, opening
// it would append to whatever file they chose.
bool isSharedFolder(int folder)
{
    struct stat status{};
    return ::fstat(folder, &status) == 0 && (status.st_mode & S_ISVTX) != 0 && (status.st_mode & S_IWOTH) != 0;
}

bool isOwnFile(int descriptor)
{
    struct stat status{};
    return ::fstat(descriptor, &status) == 0 && status.st_uid == ::geteuid();
}

bool clearNonBlocking(int descriptor)
{
    const int flags = ::fcntl(descriptor, F_GETFL);
    return flags >= 0 && ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// Close-on-exec: the capture forks the setuid capture tool, which must not inherit it.
// Non-blocking only while opening, so a named pipe nobody reads fails at once instead of
// hanging the window; writes then block as for any file, and a line is never cut short.
// In a shared folder only a file of our own, never reached through a link at its name, as
// the kernel's protections would have it.
int openInFolder(int folder, const QString &name)
{
    const bool shared = isSharedFolder(folder);
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | (shared ? O_NOFOLLOW : 0);
    const int descriptor = ::openat(folder, QFile::encodeName(name).constData(), flags, 0666);
    if (descriptor >= 0 && ((shared && !isOwnFile(descriptor)) || !clearNonBlocking(descriptor))) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

int openForAppending(const QString &path)
{
    // A NUL would cut the name short and open some other file.
    if (path.isEmpty() || path.contains(QChar(u'\0')))
        return -1;
    const qsizetype slash = path.lastIndexOf(u'/');
    const int folder = openFolderOf(path, slash);
    if (folder < 0)
        return -1;
    const int descriptor = openInFolder(folder, path.mid(slash + 1));
    ::close(folder);
    return descriptor;
}

bool isPipe(int descriptor)
{
    struct stat status{};
    return ::fstat(descriptor, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

} // namespace

QString FILEAppendWrapper::standardizedPath(const QString &path)
{
    const QString expanded = expandTilde(path);
    const bool absolute = expanded.startsWith(u'/');
    QStringList kept;
    for (const QString &component : expanded.split(u'/', Qt::SkipEmptyParts)) {
        if (component == u".")
            continue;
        if (component == u".." && absolute)
            kept = realParent(kept);
        else
            kept.append(component);
    }
    return (absolute ? QStringLiteral("/") : QString()) + kept.join(u'/');
}

std::shared_ptr<FILEAppendWrapper> FILEAppendWrapper::wrapperAtPath(const QString &path)
{
    const QString standardized = standardizedPath(path);
    {
        Registry &shared = registry();
        std::lock_guard lock(shared.mutex);
        if (std::shared_ptr<FILEAppendWrapper> existing = shared.wrappers.value(standardized).lock())
            return existing;
        const int descriptor = openForAppending(standardized);
        if (descriptor >= 0) {
            std::shared_ptr<FILEAppendWrapper> wrapper(new FILEAppendWrapper(standardized, descriptor));
            shared.wrappers.insert(standardized, wrapper);
            return wrapper;
        }
    }
    systemLog(QStringLiteral("Couldn't open file at ") + standardized);
    return nullptr;
}

FILEAppendWrapper::FILEAppendWrapper(QString path, int descriptor)
    : m_path(std::move(path)), m_descriptor(descriptor), m_isPipe(isPipe(descriptor))
{
}

FILEAppendWrapper::~FILEAppendWrapper()
{
    {
        Registry &shared = registry();
        std::lock_guard lock(shared.mutex);
        // A request made while this one was dying may already have registered a fresh wrapper.
        const auto entry = shared.wrappers.constFind(m_path);
        if (entry != shared.wrappers.cend() && entry->expired())
            shared.wrappers.erase(entry);
    }
    ::close(m_descriptor);
}

bool FILEAppendWrapper::appendLine(QByteArrayView line)
{
    std::lock_guard lock(m_writeMutex);
    if (!m_isPipe)
        return writeWhole(line);
    // Blocked for this thread only, so the application's own signal handling is untouched;
    // a SIGPIPE this write raises is taken back before unblocking, and the write reports
    // EPIPE instead.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previousMask;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previousMask);
    sigset_t pending;
    const bool alreadyPending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
    const bool written = writeWhole(line);
    if (!written && errno == EPIPE && !alreadyPending) {
        const timespec noWait{};
        int taken = 0;
        do
            taken = sigtimedwait(&pipeSignal, nullptr, &noWait);
        while (taken < 0 && errno == EINTR);
    }
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    return written;
}

bool FILEAppendWrapper::writeWhole(QByteArrayView line)
{
    const char *next = line.data();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(m_descriptor, next, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}
