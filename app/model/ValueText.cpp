// SPDX-License-Identifier: MIT
#include "model/ValueText.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace {

// "%.16g" as printf writes it in the C locale, through std::to_chars: QString::asprintf rounds
// ties differently, and printf itself follows the numeric locale that QCoreApplication takes
// from the user, which may write a decimal comma.
QString textOfDouble(double value)
{
    std::array<char, 64> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 16);
    return QString::fromLatin1(text.data(), result.ptr - text.data());
}

// Local time through the C library's localtime_r, which reads the zone once per process.
// Qt's local-time conversion, and strftime, re-check the zone file on every call, which
// would cost more than all the rest of a log line. Qt 6.4's formats also lack "+hhmm".
QString textOfDateTime(const QDateTime &dateTime)
{
    const std::time_t seconds = static_cast<std::time_t>(dateTime.toSecsSinceEpoch());
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return {};
    const long offsetMinutes = local.tm_gmtoff / 60;
    const long absoluteOffset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    std::array<char, 64> text{};
    const int length
        = std::snprintf(text.data(), text.size(), "%04d-%02d-%02d %02d:%02d:%02d %c%02ld%02ld", local.tm_year + 1900,
                        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                        offsetMinutes < 0 ? '-' : '+', absoluteOffset / 60, absoluteOffset % 60);
    return QString::fromLatin1(text.data(), std::clamp(length, 0, static_cast<int>(text.size()) - 1));
}

} // namespace

QString textOfValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return QString::number(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return textOfDouble(value.toDouble());
    case QMetaType::QDateTime:
        return value.toDateTime().isValid() ? textOfDateTime(value.toDateTime()) : QString();
    default:
        return {};
    }
}

QString isoDateTimeText(const QDateTime &time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}
