// SPDX-License-Identifier: MIT
#include "ui/TableExport.h"

#include "model/PrintableText.h"
#include "model/ValueText.h"

#include <QAbstractItemModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cmath>

namespace {

const QString kInterfaceField = QStringLiteral("interface");
const QString kExportTimeField = QStringLiteral("exportTime");

bool isNumber(const QVariant &value)
{
    const int type = value.typeId();
    return type == QMetaType::Double || type == QMetaType::Float || type == QMetaType::UInt
        || type == QMetaType::ULongLong || type == QMetaType::Int || type == QMetaType::LongLong;
}

// A spreadsheet takes a cell that starts with one of these for a formula, which may fetch
// from the network or run a program; a leading "'" keeps it text. Numbers are written as
// numbers and left as they are: a negative one is no formula.
bool startsLikeAFormula(const QString &text)
{
    return !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front());
}

// RFC 4180: a field with a comma or quote is quoted, its quotes doubled. Line breaks never
// get this far: printableText replaces them, so a row stays one line for every reader.
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

QJsonValue jsonValue(const QVariant &value)
{
    if (!value.isValid())
        return {};
    if (!isNumber(value))
        return printableText(value.toString());
    const double number = value.toDouble();
    return std::isfinite(number) ? QJsonValue(number) : QJsonValue();
}

} // namespace

QByteArray TableExport::toCsv(const QAbstractItemModel &model, const QList<Field> &fields, const Origin &origin)
{
    QStringList header{kInterfaceField, kExportTimeField};
    for (const Field &field : fields)
        header << field.name;
    QStringList lines{header.join(u',')};
    const QString originFields = csvField(origin.interfaceName) + u',' + csvField(isoDateTimeText(origin.time));
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList values{originFields};
        for (const Field &field : fields)
            values << csvField(model.index(row, field.column).data(field.role));
        lines << values.join(u',');
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

QByteArray TableExport::toJson(const QAbstractItemModel &model, const QList<Field> &fields, const Origin &origin)
{
    QJsonArray rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QJsonObject object{{kInterfaceField, printableText(origin.interfaceName)},
                           {kExportTimeField, isoDateTimeText(origin.time)}};
        for (const Field &field : fields)
            object.insert(field.name, jsonValue(model.index(row, field.column).data(field.role)));
        rows.append(object);
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Indented);
}
