// SPDX-License-Identifier: MIT
#include "ui/TableExport.h"

#include "model/ExportField.h"

#include <QAbstractItemModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

QString identifier(const QAbstractItemModel &model, int column)
{
    return model.headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString();
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
            object.insert(identifier(model, column), jsonField(model.index(row, column).data(valueRole)));
        rows.append(object);
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Indented);
}
