// SPDX-License-Identifier: MIT
#pragma once

// The processes this test process has started and not yet reaped, read from /proc.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <unistd.h>

struct ChildProcess
{
    QString pid;
    QByteArray name;  // the command name, as /proc/<pid>/stat gives it
    QByteArray state; // "S" sleeping, "R" running, "Z" a zombie, ...
};

inline QList<ChildProcess> childProcesses()
{
    QList<ChildProcess> children;
    const QByteArray self = QByteArray::number(getpid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // The name is in parentheses and may hold anything, a closing one included.
        const QByteArray text = stat.readAll();
        const qsizetype open = text.indexOf('(');
        const qsizetype close = text.lastIndexOf(')');
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (open >= 0 && fields.size() > 1 && fields[1] == self)
            children.push_back({pid, text.mid(open + 1, close - open - 1), fields[0]});
    }
    return children;
}
