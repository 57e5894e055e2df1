// SPDX-License-Identifier: MIT
#pragma once

// Whether the interface a capture was opened on is still there. A removed interface shows
// to libpcap at most once, as a failed read, and not at all when it went down first: the
// kernel then stops handing the capture frames and the capture just falls silent. So the
// loop asks the kernel whenever it is idle. The kernel binds a capture to the interface's
// index, never reused for another interface in the same namespace, so that index is what
// is asked about: a renamed interface is still the one captured, and a link that is only
// down keeps its index and may come up again.
class InterfaceWatch
{
public:
    // Notes the index the name has now. "any" (no index) is never gone.
    explicit InterfaceWatch(const char *interfaceName);

    // Asks the kernel; a failure other than "no such device" does not count as gone.
    bool gone() const;
    const char *name() const { return m_name; }

private:
    const char *m_name;
    unsigned int m_index;
};
