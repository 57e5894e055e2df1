// SPDX-License-Identifier: MIT
#include "model/ByteSize.h"

#include <array>
#include <charconv>

namespace {

constexpr std::array<const char *, 7> kUnits{"B", "kB", "MB", "GB", "TB", "PB", "EB"};
// Multiplying by the exact reciprocal of 1024 divides without rounding.
constexpr double kOneOver1024 = 0.0009765625;

// One digit after the point, rounded exactly as printf's "%.1f" rounds (an exact tie goes
// to the even digit: 1280 bytes read 1.2kB), and always with a '.' whatever the locale.
QString withOneDecimal(double value)
{
    std::array<char, 32> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed, 1);
    return QString::fromLatin1(digits.data(), result.ptr - digits.data());
}

} // namespace

QString withDecimalMarkOf(const QLocale &locale, QString text)
{
    const QString mark = locale.decimalPoint();
    return mark == u"." ? text : text.replace(u'.', mark);
}

QString stringWithByteSize(std::uint64_t byteCount, const QLocale &locale)
{
    return withDecimalMarkOf(locale, stringWithByteSize(byteCount));
}

QString stringWithByteSize(std::uint64_t byteCount)
{
    auto value = static_cast<double>(byteCount);
    std::size_t unit = 0;
    while (value > 1024.0 && unit + 1 < kUnits.size()) {
        value *= kOneOver1024;
        ++unit;
    }
    return withOneDecimal(value) + QLatin1StringView(kUnits[unit]);
}
