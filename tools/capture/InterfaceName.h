// SPDX-License-Identifier: MIT
#pragma once

// Which names the capture tool hands to libpcap. libpcap opens far more than network
// interfaces by name (D-Bus buses that start programs, netfilter queues, USB and Bluetooth
// monitors, paths under /sys), and the tool asks while it is still root. So only a name
// that is a network interface of this machine gets through, or "any".

// 1 to 15 printable bytes without a blank, "/" or ":", and no prefix that libpcap reads as
// another kind of source: safe to echo in a message and to ask the kernel about.
bool isPlainInterfaceName(const char *name);

// Why `name` must not be opened, or nullptr when it may. The reason completes the line
// "pcap_open_live: <reason>", as a missing interface's does.
const char *interfaceNameRefusal(const char *name);
