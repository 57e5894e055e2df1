// SPDX-License-Identifier: MIT
#include "tools/capture/InterfaceWatch.h"

#include <array>
#include <cerrno>
#include <net/if.h>

InterfaceWatch::InterfaceWatch(const char *interfaceName)
    : m_name(interfaceName)
    , m_index(if_nametoindex(interfaceName))
{
}

bool InterfaceWatch::gone() const
{
    if (m_index == 0)
        return false;
    std::array<char, IF_NAMESIZE> name{};
    errno = 0;
    return if_indextoname(m_index, name.data()) == nullptr && errno == ENXIO;
}
