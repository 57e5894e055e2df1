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
// shared by every user of the machine, and runs only for those its group, mode and ACL allow:
// at first the members of the group quillmere and whoever an administrator approved. Before
// each capture the installed copy is checked against the one shipped with the application.
// When it is missing or differs, the installer is run with an administrator's approval to put
// a fresh copy in place (keeping who may run it); when this person may not run it, the
// approval asked for is to allow them. Whatever group, mode or ACL an administrator gave the
// installed tool is never undone here.
class ToolInstallation
{
    Q_DECLARE_TR_FUNCTIONS(ToolInstallation)

public:
    // What the system log's lines of the installation are prefixed with.
    static constexpr char kMethodName[] = "-[StreamCapture setInterface:]";
    static constexpr int kInstallLine = 212;

    enum class State {
        Current,        // root's, set-user-ID, this person may run it, byte for byte the bundle copy
        NeedsInstall,   // missing, not root's, not set-user-ID, or not the bundle copy
        NotAllowed,     // root's and set-user-ID, but this person may not run it
        MustLogInAgain, // as NotAllowed, but the person was added to its group after logging in
    };

    explicit ToolInstallation(Elevation &elevation);

    // <support folder>/Quillmere/Netsiphon, after making sure the Quillmere folder exists
    // where the user may create it; null (and "FSFindFolder() returned error %d" logged)
    // when the support folder cannot be had.
    static QString toolPath();
    // The tool shipped with the application.
    static QString bundledToolPath();

    // Tested in the order of the states above, stopping at the first that fails; whether this
    // person may run it is asked of the system (its effective ids, groups and the ACL).
    static State stateOf(const QString &installedPath, const QString &bundledPath);
    static bool isCurrent(const QString &installedPath, const QString &bundledPath)
    {
        return stateOf(installedPath, bundledPath) == State::Current;
    }

    // Checks the installed tool and, when this person cannot use it as it is, asks for one
    // administrator's approval to install it or to allow them. False when the tool cannot be
    // used; the reason is in the system log, and failureText() tells it in words for a person
    // (empty when the person cancelled the password dialog of an install).
    bool ensureCurrent();
    const QString &failureText() const { return m_failureText; }

private:
    bool runInstaller(const QStringList &arguments, const QString &purpose, const QString &installedPath,
                      const QString &bundledPath);
    bool failAfter(State state, const QString &installedPath, int installerStatus);
    bool fail(const QString &logged, const QString &forPerson);

    Elevation &m_elevation;
    QString m_failureText;
    // Whether the approval asked for is the person's own; its refusal then needs words.
    bool m_asksToAllow = false;
};
