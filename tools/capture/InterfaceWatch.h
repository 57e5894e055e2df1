// SPDX-License-Identifier: MIT
#pragma once

// Whether the interface a capture was opened on is still there. A removed interface shows
// to libpcap at most once, as a failed read, and not at all when it went down first: the
// kernel then stops handing the capture frames and the capture just falls silent. So the
// loop asks the kernel whenever it is idle. The kernel binds a capture to the interface's
// index and unbinds it when that interface leaves the namespace, so a renamed interface is
// still the one captured and a link that is only down keeps its binding and may come up
// again. An index can be given again (explicitly, or to an interface moved in), so the
// binding is asked about too, not only whether the index still names an interface.
//
// The watch is made before the capture is opened and keeps the socket it asks through from
// the start: a question that needed a new descriptor each time would fail, and the loss go
// unnoticed, once whoever started the tool lowered its descriptor limit.
class InterfaceWatch
{
public:
    // Notes the index the name has now. "any" (no index) is never gone.
    explicit InterfaceWatch(const char *interfaceName);
    ~InterfaceWatch();
    InterfaceWatch(const InterfaceWatch &) = delete;
    InterfaceWatch &operator=(const InterfaceWatch &) = delete;

    // False when no socket could be had to ask through; socketError() then tells why.
    bool ready() const { return m_socket >= 0; }
    int socketError() const { return m_socketError; }

    // Whether the capture socket is bound to the interface the name had when the watch was
    // made: between the two, the interface may have been removed and another made under
    // its name, which the watch would otherwise take for gone, or never see go.
    bool isBoundTo(int captureDescriptor) const;
    // Asks the kernel whether the index still names an interface and the capture is still
    // bound to it; a failure other than "no such device" does not count as gone.
    bool gone(int captureDescriptor) const;
    const char *name() const { return m_name; }

private:
    const char *m_name;
    bool m_any;
    unsigned int m_index;
    int m_socket;
    int m_socketError = 0;
};
