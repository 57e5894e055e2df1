// SPDX-License-Identifier: MIT
#include "logging/GuardedFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The folder the path names its file in, open for looking at and opening relative to.
OwnedDescriptor openFolderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
    return OwnedDescriptor(::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

QString nameIn(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

bool isSharedFolder(int folder)
{
    struct stat status = {};
    return ::fstat(folder, &status) == 0 && (status.st_mode & S_ISVTX) != 0 && (status.st_mode & S_IWOTH) != 0;
}

bool isOwnFile(int descriptor)
{
    struct stat status = {};
    return ::fstat(descriptor, &status) == 0 && status.st_uid == ::geteuid();
}

bool clearNonBlocking(int descriptor)
{
    const int flags = ::fcntl(descriptor, F_GETFL);
    return flags >= 0 && ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

GuardedFile::Opened refused(QString failure)
{
    return {OwnedDescriptor(), std::move(failure)};
}

GuardedFile::Opened openInFolder(int folder, const QString &name)
{
    const bool shared = isSharedFolder(folder);
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | (shared ? O_NOFOLLOW : 0);
    OwnedDescriptor descriptor(::openat(folder, QFile::encodeName(name).constData(), flags, 0666));
    if (!descriptor && shared && errno == ELOOP)
        return refused(
            QCoreApplication::translate("GuardedFile", "it is a symbolic link in a folder every user may write to"));
    if (!descriptor)
        return refused(systemReason(errno));
    if (shared && !isOwnFile(descriptor.get()))
        return refused(QCoreApplication::translate("GuardedFile",
                                                   "it belongs to another user in a folder every user may write to"));
    if (!clearNonBlocking(descriptor.get()))
        return refused(systemReason(errno));
    return {std::move(descriptor), {}};
}

// A NUL would cut the name short and open some other file.
QString unusablePath(const QString &path)
{
    if (!path.isEmpty() && !path.contains(QChar(u'\0')))
        return {};
    return QCoreApplication::translate("GuardedFile", "it is not the name of a file");
}

} // namespace

GuardedFile::Opened GuardedFile::openForAppending(const QString &path)
{
    if (QString failure = unusablePath(path); !failure.isEmpty())
        return refused(std::move(failure));
    const OwnedDescriptor folder = openFolderOf(path);
    if (!folder)
        return refused(systemReason(errno));
    return openInFolder(folder.get(), nameIn(path));
}

QString GuardedFile::replaceContents(const QString &path, QByteArrayView bytes)
{
    if (QString failure = unusablePath(path); !failure.isEmpty())
        return failure;
    const OwnedDescriptor folder = openFolderOf(path);
    if (!folder)
        return systemReason(errno);
    if (isSharedFolder(folder.get())) {
        if (const Opened claimed = openInFolder(folder.get(), nameIn(path)); !claimed.descriptor)
            return claimed.failure;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), bytes.size()) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}
