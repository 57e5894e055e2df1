// SPDX-License-Identifier: MIT
#include "model/PrintableText.h"

#include <gtest/gtest.h>

TEST(PrintableText, ControlFormatAndSeparatorCharactersAndLoneSurrogatesBecomeReplacementCharacters)
{
    const QString replaced(QChar(QChar::ReplacementCharacter));
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("plain host.example:80"), QStringLiteral("plain host.example:80")},
        {QString::fromUtf8("x\nFORGED \x1b[2J"),
         QStringLiteral("x") + replaced + QStringLiteral("FORGED ") + replaced + "[2J"},
        {QStringLiteral("tab\there\r"), QStringLiteral("tab") + replaced + QStringLiteral("here") + replaced},
        {QString(QChar(0x7F)) + QChar(0x9B) + QChar(0x85), replaced + replaced + replaced},
        {QStringLiteral("a\u2028b\u2029c"), QStringLiteral("a") + replaced + "b" + replaced + "c"},
        {QStringLiteral("evil\u202Etxt.exe"), QStringLiteral("evil") + replaced + QStringLiteral("txt.exe")},
        {QString::fromUtf8("caf\xc3\xa9 \xf0\x9f\x98\x80"), QString::fromUtf8("caf\xc3\xa9 \xf0\x9f\x98\x80")},
        {QString::fromUtf8("bad \xff\xfe utf-8"),
         QStringLiteral("bad ") + replaced + replaced + QStringLiteral(" utf-8")},
        {QString(QChar(0xD800)) + QStringLiteral("x") + QChar(0xDC00), replaced + "x" + replaced},
        // A format character outside the first plane is one replacement, not two.
        {QString::fromUtf8("tag\xf3\xa0\x80\x81"), QStringLiteral("tag") + replaced},
        {QString(), QString()},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(printableText(text), expected);
    }
}
