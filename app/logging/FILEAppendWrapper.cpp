// SPDX-License-Identifier: MIT
#include "logging/FILEAppendWrapper.h"

#include "logging/GuardedFile.h"
#include "platform/SystemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include <mutex>
#include <system_error>
#include <vector>

#include <pwd.h>

namespace {

// How long a new wrapper waits for the lines its path's previous wrapper still has on their
// way, so that they stay ahead of its own; only a file that has stalled takes that long.
constexpr std::chrono::milliseconds kPreviousLinesWait{250};

struct Entry
{
    std::weak_ptr<FILEAppendWrapper> wrapper;
    QueuedWriter::Pending pending; // the lines of the path's last wrapper
};

// Created on first use and never destroyed, so wrappers released during process exit
// still find it.
struct Registry
{
    std::mutex mutex;
    QHash<QString, Entry> wrappers;
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

std::shared_ptr<FILEAppendWrapper> FILEAppendWrapper::wrapperAtPath(const QString &path, QString *failure)
{
    const QString standardized = standardizedPath(path);
    Registry &shared = registry();
    QueuedWriter::Pending previous;
    {
        std::lock_guard lock(shared.mutex);
        const Entry entry = shared.wrappers.value(standardized);
        if (std::shared_ptr<FILEAppendWrapper> existing = entry.wrapper.lock())
            return existing;
        previous = entry.pending;
    }
    previous.waitUntilWritten(kPreviousLinesWait);
    QString why;
    {
        std::lock_guard lock(shared.mutex);
        if (std::shared_ptr<FILEAppendWrapper> existing = shared.wrappers.value(standardized).wrapper.lock())
            return existing;
        GuardedFile::Opened opened = GuardedFile::openForAppending(standardized);
        why = opened.failure;
        try {
            if (opened.descriptor) {
                std::shared_ptr<FILEAppendWrapper> wrapper(
                    new FILEAppendWrapper(standardized, std::move(opened.descriptor)));
                shared.wrappers.insert(standardized, {wrapper, wrapper->m_writer.pending()});
                return wrapper;
            }
        } catch (const std::system_error &error) {
            why = QString::fromLocal8Bit(error.what());
        }
    }
    systemLog(QStringLiteral("Couldn't open file at ") + standardized);
    if (failure != nullptr)
        *failure = why;
    return nullptr;
}

FILEAppendWrapper::FILEAppendWrapper(QString path, OwnedDescriptor descriptor)
    : m_path(std::move(path))
    , m_writer(std::move(descriptor))
{
}

// The registry keeps the path's entry: its lines may still be on their way.
FILEAppendWrapper::~FILEAppendWrapper() = default;

bool FILEAppendWrapper::appendLine(QByteArrayView line)
{
    return m_writer.append(line);
}

void FILEAppendWrapper::expectLines(qsizetype count)
{
    m_writer.expectLines(count);
}

bool FILEAppendWrapper::appendExpectedLines(QByteArrayView lines, qsizetype count)
{
    return m_writer.appendExpected(lines, count);
}

bool FILEAppendWrapper::waitUntilWritten(std::chrono::milliseconds timeout)
{
    return m_writer.waitUntilWritten(timeout);
}
