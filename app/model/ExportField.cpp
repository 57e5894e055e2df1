// SPDX-License-Identifier: MIT
#include "model/ExportField.h"

#include "model/PrintableText.h"

#include <cmath>

namespace {

bool isNumber(const QVariant &value)
{
    const int type = value.typeId();
    return type == QMetaType::Double || type == QMetaType::Float || type == QMetaType::UInt
        || type == QMetaType::ULongLong || type == QMetaType::Int || type == QMetaType::LongLong;
}

bool startsLikeAFormula(const QString &text)
{
    return !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front());
}

} // namespace

// Line breaks never get as far as the quoting: printableText replaces them, so a row stays
// one line for every reader.
QString csvField(const QVariant &value)
{
    if (isNumber(value)) {
        const double number = value.toDouble();
        return std::isfinite(number) ? QString::number(number, 'g', 17) : QString();
    }
    QString text = value.toString();
    if (startsLikeAFormula(text))
        text.prepend(u'\'');
    text = printableText(std::move(text));
    if (!text.contains(u',') && !text.contains(u'"'))
        return text;
    return u'"' + text.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QJsonValue jsonField(const QVariant &value)
{
    if (!value.isValid())
        return {};
    if (!isNumber(value))
        return printableText(value.toString());
    const double number = value.toDouble();
    return std::isfinite(number) ? QJsonValue(number) : QJsonValue();
}
