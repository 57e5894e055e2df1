// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

// The application's system log: one "Quillmere[pid] message" line per call on standard
// error, which journald keeps for a desktop application. Safe from any thread.
void systemLog(const QString &message);

// Test seam: while a sink is set, messages go to it (without the prefix) instead of stderr.
// Pass an empty function to restore standard error.
void setSystemLogSink(std::function<void(const QString &)> sink);
