// SPDX-License-Identifier: MIT
#include "model/ProgramName.h"

#include <QRegularExpression>

ProgramName ProgramName::fromText(const QString &text)
{
    static const QRegularExpression withId(QStringLiteral("^(.*) \\(([0-9]{1,10})\\)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = withId.match(text);
    bool isNumber = false;
    const quint32 id = match.hasMatch() ? match.captured(2).toUInt(&isNumber) : 0;
    if (!isNumber)
        return {text, 0};
    return {match.captured(1), id};
}
