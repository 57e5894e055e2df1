// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

// The one source of "now" for the application: seconds, as a double, since the reference
// date 2001-01-01 00:00:00 UTC. Real system time by default; tests freeze and advance it
// so expiry, speeds and cache ageing are checked without sleeping.
class Clock
{
public:
    // Seconds between the Unix epoch and the reference date.
    static constexpr double kReferenceDateUnixOffset = 978307200.0;

    static double now();
    static double unixTimeFromReference(double referenceTime);
    // The moment as a date, to the millisecond (rounded down), in local time unless told
    // otherwise.
    static QDateTime dateTimeFromReference(double referenceTime, Qt::TimeSpec zone = Qt::LocalTime);
    // The other way: the moment a date names, in reference seconds.
    static double referenceFromDateTime(const QDateTime &time);

    // Test seam. Safe to call while other threads read now().
    static void freezeAt(double referenceTime);
    static void advance(double seconds);
    static void useSystemTime();
};
