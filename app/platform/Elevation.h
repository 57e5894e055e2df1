// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// Running a program with root rights after an administrator has approved. A seam, so tests
// play a cancelled or refused approval without a password dialog.
class Elevation
{
public:
    enum class Outcome {
        Finished,          // the program ran and has ended (exitStatus holds its status)
        NoWayToBecomeRoot, // not root, and nothing to ask an administrator with
        Dismissed,         // the person closed the password dialog
        NotAuthorized,     // the approval was refused
        CouldNotStart,     // the program (or what runs it as root) could not be started
        NotProtected,      // others than root could change the program: nobody was asked
    };
    struct Result
    {
        Outcome outcome = Outcome::CouldNotStart;
        int exitStatus = -1;
        // With NotProtected: what others than root could change, for an administrator.
        QString refusal = {};
    };

    virtual ~Elevation() = default;

    // Runs `program` (an absolute path) with `arguments` as root and returns once it has
    // ended: its standard output read to end of file, the process reaped. Its standard error
    // is the application's. `purpose` says in words for the administrator what they approve.
    // The main thread's events keep being handled meanwhile, so a window still redraws behind
    // the password dialog.
    virtual Result runAsRoot(const QString &program, const QStringList &arguments, const QString &purpose) = 0;

    // The process-wide elevation: the system's unless a test put another in its place.
    static Elevation &shared();
    // Test seam; null restores the system's. The caller keeps ownership.
    static void setSharedForTesting(Elevation *elevation);

protected:
    Elevation() = default;
    Elevation(const Elevation &) = default;
    Elevation &operator=(const Elevation &) = default;
};
