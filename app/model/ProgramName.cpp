// SPDX-License-Identifier: MIT
#include "model/ProgramName.h"

#include <algorithm>

// Taken apart by hand: every stream's program is read so once per update cycle when the
// window groups by program, and a pattern match would cost more than the grouping itself.
ProgramName ProgramName::fromText(const QString &text)
{
    const qsizetype open = text.lastIndexOf(QLatin1StringView(" ("));
    if (open < 0 || !text.endsWith(u')'))
        return {text, 0};
    const QStringView digits = QStringView(text).sliced(open + 2, text.size() - open - 3);
    const bool decimal = !digits.isEmpty() && digits.size() <= 10
        && std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    bool isNumber = false;
    const quint32 id = decimal ? digits.toUInt(&isNumber) : 0;
    if (!isNumber)
        return {text, 0};
    return {text.left(open), id};
}
