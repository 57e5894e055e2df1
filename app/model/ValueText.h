// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QVariant>

// The text a value read by key name shows in log lines and copied rows: strings as they
// are, integers in decimal, booleans as 1 or 0, doubles with up to 16 significant digits
// (%.16g), dates as "yyyy-MM-dd HH:mm:ss +hhmm" in local time. An invalid QVariant (a key
// nobody answers) and any other type give an empty text.
QString textOfValue(const QVariant &value);
