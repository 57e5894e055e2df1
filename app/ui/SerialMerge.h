// SPDX-License-Identifier: MIT
#pragma once

#include "model/Stream.h"

#include <cstddef>
#include <memory>
#include <vector>

// Rows that follow streams by serial number across update cycles, so a cycle moves, inserts
// and removes rows instead of resetting a model. Both arrays are in creation order, which is
// serial order: one pass finds the rows that went, one the rows that came.
//
// `remove(first, last)` must take rows first..last out of `rows`; `insert(row, from, to)`
// must put incoming[from, to) into `rows` before row. Each tells its model's views; the
// rows that stay are left for the caller to replace with their new copies.
template <typename Remove, typename Insert>
void mergeBySerial(const std::vector<std::shared_ptr<Stream>> &rows,
                   const std::vector<std::shared_ptr<Stream>> &incoming, Remove remove, Insert insert)
{
    std::vector<bool> keep(rows.size(), false);
    std::size_t next = 0;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        while (next < incoming.size() && incoming[next]->serial() < rows[row]->serial())
            ++next;
        keep[row] = next < incoming.size() && incoming[next]->serial() == rows[row]->serial();
    }
    for (auto last = static_cast<int>(rows.size()) - 1; last >= 0; --last) {
        if (keep[static_cast<std::size_t>(last)])
            continue;
        int first = last;
        while (first > 0 && !keep[static_cast<std::size_t>(first - 1)])
            --first;
        remove(first, last);
        last = first;
    }
    std::size_t row = 0;
    next = 0;
    while (next < incoming.size()) {
        if (row < rows.size() && rows[row]->serial() == incoming[next]->serial()) {
            ++row;
            ++next;
            continue;
        }
        std::size_t end = next;
        while (end < incoming.size() && (row >= rows.size() || incoming[end]->serial() != rows[row]->serial()))
            ++end;
        insert(row, next, end);
        row += end - next;
        next = end;
    }
}
