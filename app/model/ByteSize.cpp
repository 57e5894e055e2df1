#include "model/ByteSize.h"

#include <array>

namespace {

constexpr std::array<const char *, 7> kUnits{"B", "kB", "MB", "GB", "TB", "PB", "EB"};
// Multiplying by the exact reciprocal of 1024 divides without rounding.
constexpr double kOneOver1024 = 0.0009765625;

} // namespace

QString stringWithByteSize(std::uint64_t byteCount)
{
    auto value = static_cast<double>(byteCount);
    std::size_t unit = 0;
    while (value > 1024.0 && unit + 1 < kUnits.size()) {
        value *= kOneOver1024;
        ++unit;
    }
    return QString::number(value, 'f', 1) + QLatin1StringView(kUnits[unit]);
}
