// SPDX-License-Identifier: MIT
#include "ui/TableExport.h"
#include "UiTestSupport.h"
#include "model/ValueText.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardItemModel>

namespace {

const TableExport::Origin kOrigin{QStringLiteral("eth0"), QDateTime::fromSecsSinceEpoch(1700000000)};

// One field named "process" holding `value` in the export's value role.
QByteArray csvOfOneCell(const QVariant &value)
{
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), value, Qt::UserRole);
    return TableExport::toCsv(model, {{QStringLiteral("process"), 0, Qt::UserRole}}, kOrigin);
}

} // namespace

TEST(TableExport, CsvTextsNeverBecomeFormulasOrExtraFieldsOrLinesAndNumbersStayNumbers)
{
    uiApplication();
    const std::vector<std::pair<QVariant, QByteArray>> cases{
        {QStringLiteral("firefox (42)"), "firefox (42)"},
        {QStringLiteral("=cmd|' /C calc'!A0"), "'=cmd|' /C calc'!A0"},
        {QStringLiteral("+1"), "'+1"},
        {QStringLiteral("-1"), "'-1"},
        {QStringLiteral("@SUM(A1)"), "'@SUM(A1)"},
        {QStringLiteral("\t=1"), "'\xef\xbf\xbd=1"},
        {QStringLiteral("\r=1"), "'\xef\xbf\xbd=1"},
        {QStringLiteral("a,\"b\"\nc"),
         "\"a,\"\"b\"\"\xef\xbf\xbd"
         "c\""},
        {-5.0, "-5"},
        {quint64{1536}, "1536"},
    };
    for (const auto &[value, field] : cases) {
        SCOPED_TRACE(field.toStdString());
        EXPECT_EQ(csvOfOneCell(value),
                  "interface,exportTime,process\r\neth0," + isoDateTimeText(kOrigin.time).toUtf8() + ',' + field
                      + "\r\n");
    }
}

TEST(TableExport, JsonTextsHaveNoControlCharacters)
{
    uiApplication();
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QStringLiteral("x\u009B2J\u2028"), Qt::UserRole);
    const QJsonArray rows
        = QJsonDocument::fromJson(TableExport::toJson(model, {{QStringLiteral("process"), 0, Qt::UserRole}}, kOrigin))
              .array();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("process")).toString(), QStringLiteral("x\uFFFD2J\uFFFD"));
}
