// SPDX-License-Identifier: MIT
#include "platform/TerminalSize.h"

#include <QByteArray>
#include <QtGlobal>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::optional<int> columnsVariable()
{
    bool isNumber = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &isNumber);
    return isNumber && columns > 0 ? std::optional<int>(columns) : std::nullopt;
}

} // namespace

TerminalSize TerminalSize::of(int descriptor)
{
    TerminalSize size;
    size.isTerminal = ::isatty(descriptor) == 1;
    winsize window{};
    if (size.isTerminal && ::ioctl(descriptor, TIOCGWINSZ, &window) == 0 && window.ws_col > 0) {
        size.columns = window.ws_col;
        if (window.ws_row > 0)
            size.rows = window.ws_row;
        return size;
    }
    size.columns = columnsVariable();
    // A terminal that does not tell its size is still a terminal of some width.
    if (size.isTerminal && !size.columns)
        size.columns = 80;
    return size;
}
