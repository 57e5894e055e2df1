// SPDX-License-Identifier: MIT
#include "ui/TableExport.h"

#include "model/ExportField.h"
#include "model/PrintableText.h"
#include "model/ValueText.h"

#include <QAbstractItemModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

const QString kInterfaceField = QStringLiteral("interface");
const QString kExportTimeField = QStringLiteral("exportTime");

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
            object.insert(field.name, jsonField(model.index(row, field.column).data(field.role)));
        rows.append(object);
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Indented);
}
