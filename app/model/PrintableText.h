// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// A value as it may be placed into text that a person or a program reads: log lines, copied
// rows, exported tables, the window-less output. Anybody can make such values: a program names
// itself with any bytes but NUL, and a host name answer may carry anything. So every control
// character (C0, DEL, C1), every format character (the bidirectional overrides among them),
// the line and paragraph separators U+2028 and U+2029, and every half of a surrogate pair
// without its other half becomes U+FFFD: a value never starts a line, moves a terminal's
// cursor, reorders what is shown around it or splits a tab-separated field. Bytes that were
// not UTF-8 were already U+FFFD when they became text.
QString printableText(QString text);
