// SPDX-License-Identifier: MIT
#include "tools/capture/InterfaceName.h"

#include <array>
#include <cstring>
#include <net/if.h>
#include <string_view>

namespace {
// IFNAMSIZ counts the terminating zero.
constexpr std::size_t kLongestInterfaceName = IFNAMSIZ - 1;

// Prefixes by which libpcap picks a capture source other than a network interface.
constexpr std::array<std::string_view, 5> kOtherSourcePrefixes{"dbus", "nflog", "nfqueue", "usbmon", "bluetooth"};

bool isPlainNameCharacter(char character)
{
    // Printable ASCII without the blank, "/" (libpcap and the kernel read paths) and ":"
    // (an address label, or a source address such as "unixexec:path=...").
    return character > ' ' && character < 0x7F && character != '/' && character != ':';
}

bool isPlainName(std::string_view name)
{
    if (name.empty() || name.size() > kLongestInterfaceName || name == "." || name == "..")
        return false;
    for (const char character : name) {
        if (!isPlainNameCharacter(character))
            return false;
    }
    for (const std::string_view prefix : kOtherSourcePrefixes) {
        if (name.starts_with(prefix))
            return false;
    }
    return true;
}
} // namespace

bool isPlainInterfaceName(const char *name)
{
    // strnlen: the argument is read no further than a name could reach.
    return isPlainName(std::string_view(name, strnlen(name, kLongestInterfaceName + 1)));
}

const char *interfaceNameRefusal(const char *name)
{
    if (std::strcmp(name, "any") == 0)
        return nullptr;
    if (!isPlainInterfaceName(name))
        return "not the name of a network interface";
    if (if_nametoindex(name) == 0)
        return "No such device exists";
    return nullptr;
}
