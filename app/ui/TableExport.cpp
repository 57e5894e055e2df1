// SPDX-License-Identifier: MIT
#include "ui/TableExport.h"

#include "model/PrintableText.h"

#include <QAbstractItemModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cmath>

namespace {

QString identifier(const QAbstractItemModel &model, int column)
{
    return model.headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString();
}

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
    if (!isNumber(value))
        return printableText(value.toString());
    const double number = value.toDouble();
    return std::isfinite(number) ? QJsonValue(number) : QJsonValue();
}

} // namespace

QByteArray TableExport::toCsv(const QAbstractItemModel &model, const QList<int> &columns, int valueRole)
{
    QStringList lines;
    QStringList header;
    for (const int column : columns)
        header << identifier(model, column);
    lines << header.join(u',');
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList fields;
        for (const int column : columns)
            fields << csvField(model.index(row, column).data(valueRole));
        lines << fields.join(u',');
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

QByteArray TableExport::toJson(const QAbstractItemModel &model, const QList<int> &columns, int valueRole)
{
    QJsonArray rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QJsonObject object;
        for (const int column : columns)
            object.insert(identifier(model, column), jsonValue(model.index(row, column).data(valueRole)));
        rows.append(object);
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Indented);
}
