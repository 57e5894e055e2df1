#include "model/ValueText.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// The C library's printf rather than QString::asprintf, which rounds ties differently.
QString textOfDouble(double value)
{
    std::array<char, 64> text{};
    const int length = std::snprintf(text.data(), text.size(), "%.16g", value);
    return QString::fromLatin1(text.data(), std::clamp(length, 0, static_cast<int>(text.size()) - 1));
}

// Qt 6.4's date formats know no numeric zone offset, so the "+hhmm" part is built here.
QString textOfDateTime(const QDateTime &dateTime)
{
    const QDateTime local = dateTime.toLocalTime();
    const int offsetMinutes = local.offsetFromUtc() / 60;
    const int absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "))
        + QString::asprintf("%c%02d%02d", offsetMinutes < 0 ? '-' : '+', absolute / 60, absolute % 60);
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
