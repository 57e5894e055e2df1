// SPDX-License-Identifier: MIT
#include "model/ByteSpeedFormatter.h"

#include "model/ByteSize.h"

#include <cmath>
#include <cstdint>
#include <limits>

QString ByteSpeedFormatter::stringForObjectValue(const QVariant &value) const
{
    bool isNumber = false;
    const double bytesPerSecond = value.toDouble(&isNumber);
    return isNumber ? stringForBytesPerSecond(bytesPerSecond) : QString();
}

QString ByteSpeedFormatter::stringForBytesPerSecond(double bytesPerSecond, const QLocale &locale)
{
    return withDecimalMarkOf(locale, stringForBytesPerSecond(bytesPerSecond));
}

QString ByteSpeedFormatter::stringForBytesPerSecond(double bytesPerSecond)
{
    // NaN, infinities and negative speeds come from intervals of no length (the stream
    // divides without a guard); no figure is better than a wrong one.
    const double wholeBytes = std::trunc(bytesPerSecond);
    if (!std::isfinite(wholeBytes) || wholeBytes < 0.0)
        return QString();
    // 2^64 is exactly representable; anything at or above it would overflow the cast.
    constexpr double kBeyondRange = 18446744073709551616.0;
    const std::uint64_t count = wholeBytes >= kBeyondRange ? std::numeric_limits<std::uint64_t>::max()
                                                           : static_cast<std::uint64_t>(wholeBytes);
    return stringWithByteSize(count) + QLatin1StringView("/sec");
}
