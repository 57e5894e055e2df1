// SPDX-License-Identifier: MIT
#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>

// Display text for a speed in bytes per second with an adaptive unit: the speed truncated
// toward zero to whole bytes, as stringWithByteSize, then "/sec" (1536.9 reads
// "1.5kB/sec", 0.7 reads "0.0B/sec"). Formats for display only; it never parses text.
//
// A value that is not a number (including NaN and infinities, which a speed measured over
// no time at all can be) or that truncates below zero reads as empty text: the cell shows
// nothing rather than a made-up figure. Speeds beyond the 64-bit byte range read
// "16.0EB/sec".
class ByteSpeedFormatter
{
public:
    // value: anything QVariant converts to double, normally a double.
    QString stringForObjectValue(const QVariant &value) const;

    static QString stringForBytesPerSecond(double bytesPerSecond);
    // The same for people to read, with the locale's decimal mark ("1,5kB/sec" in German).
    static QString stringForBytesPerSecond(double bytesPerSecond, const QLocale &locale);
};
