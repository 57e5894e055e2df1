#include "model/ValueText.h"

#include <QDateTime>

namespace {

QString textOfDouble(double value)
{
    return QString::asprintf("%.16g", value);
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
