// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

// The text a value read by key name shows in log lines and copied rows: strings as they
// are, integers in decimal, booleans as 1 or 0, doubles with up to 16 significant digits
// (%.16g), dates as "yyyy-MM-dd HH:mm:ss +hhmm" in local time. An invalid QVariant (a key
// nobody answers) and any other type give an empty text.
QString textOfValue(const QVariant &value);

// A moment for programs that read files: ISO 8601 in local time with its offset written out
// ("2026-12-10T14:03:07.250+01:00"), as ISO 8601 readers expect.
QString isoDateTimeText(const QDateTime &time);
