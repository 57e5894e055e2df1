// SPDX-License-Identifier: MIT
#pragma once

// Gives up root for good once the capture device is open: the capture tool runs setuid
// root and parses frames from the network, so it must not keep root while it does.
// Started by root itself (real user id 0) nothing changes.

class PrivilegeDrop
{
public:
    // Clears the supplementary groups (when permitted), then sets real, effective
    // and saved group ids, then user ids, to the real ones of the starting process, empties
    // every capability set, and checks that the change held and that root cannot be regained.
    static PrivilegeDrop toRealIds();

    bool succeeded() const { return m_failedStep == nullptr; }
    // What failed, for the one-line message; the system error is 0 for failed checks.
    const char *failedStep() const { return m_failedStep; }
    int systemError() const { return m_systemError; }

private:
    static PrivilegeDrop failure(const char *step, int systemError);

    const char *m_failedStep = nullptr;
    int m_systemError = 0;
};
