// SPDX-License-Identifier: MIT
#include "ui/TableExport.h"

#include "model/ExportField.h"
#include "model/PrintableText.h"
#include "model/ValueText.h"

#include <QAbstractItemModel>
#include <QFileDialog>
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

void TableExport::openSaveDialog(QWidget *parent, const Writer &write)
{
    auto *dialog = new QFileDialog(parent, tr("Export"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    const QString csv = tr("CSV files (*.csv)");
    dialog->setNameFilters({csv, tr("JSON files (*.json)")});
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog, [dialog, csv](const QString &filter) {
        dialog->setDefaultSuffix(filter == csv ? QStringLiteral("csv") : QStringLiteral("json"));
    });
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [dialog, write](const QString &path) {
        const bool json = path.endsWith(QLatin1StringView(".json"), Qt::CaseInsensitive)
            || (!path.endsWith(QLatin1StringView(".csv"), Qt::CaseInsensitive)
                && dialog->selectedNameFilter().contains(u"json"));
        write(path, json ? Format::Json : Format::Csv);
    });
    dialog->open();
}
