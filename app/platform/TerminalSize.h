// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

// The size of the terminal a descriptor writes to, so that printed tables fit it. A
// descriptor that is not a terminal (a pipe, a file) takes its width from the COLUMNS
// variable when that holds a positive number, and otherwise has none: its lines are not
// cut, for the program or file that reads them.
struct TerminalSize
{
    bool isTerminal = false;
    std::optional<int> columns;
    // Known for a terminal only.
    std::optional<int> rows;

    static TerminalSize of(int descriptor);
};
