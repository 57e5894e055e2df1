// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCoreApplication>
#include <QString>

class Elevation;

// Creates the directory at `path`, first any missing parents; whether the last creation
// succeeded (it is attempted, and fails harmlessly, when the directory exists already).
bool RecursiveCreateDirectories(const QString &path);

// The 16-byte MD5 digest (RFC 1321) of the bytes.
QByteArray md5Hash(QByteArrayView data);

// The capture tool only works installed owned by root with the set-user-ID bit, in a folder
// shared by every user of the machine. Before each capture the installed copy is checked
// against the one shipped with the application and, when it is missing or differs, the
// installer is run with an administrator's approval to put a fresh copy in place.
class ToolInstallation
{
    Q_DECLARE_TR_FUNCTIONS(ToolInstallation)

public:
    // What the system log's lines of the installation are prefixed with.
    static constexpr char kMethodName[] = "-[StreamCapture setInterface:]";
    static constexpr int kInstallLine = 212;

    explicit ToolInstallation(Elevation &elevation);

    // <support folder>/Quillmere/Netsiphon, after making sure the Quillmere folder exists
    // where the user may create it; null (and "FSFindFolder() returned error %d" logged)
    // when the support folder cannot be had.
    static QString toolPath();
    // The tool shipped with the application.
    static QString bundledToolPath();

    // Root-owned, set-user-ID, and byte for byte the bundle copy: tested in this order,
    // stopping at the first that fails.
    static bool isCurrent(const QString &installedPath, const QString &bundledPath);

    // Checks the installed tool and installs it when it is not current. False when the tool
    // cannot be made current; the reason is in the system log, and failureText() tells it
    // in words for a person (empty when the person cancelled the password dialog).
    bool ensureCurrent();
    const QString &failureText() const { return m_failureText; }

private:
    bool install(const QString &installedPath, const QString &bundledPath);
    bool fail(const QString &logged, const QString &forPerson);

    Elevation &m_elevation;
    QString m_failureText;
};
