// SPDX-License-Identifier: MIT
#include "model/PrintableText.h"

namespace {

bool isControl(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

} // namespace

// Most values need nothing, and those come back without a copy being made.
QString printableText(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar character = text.at(i);
        const bool paired = character.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype width = paired ? 2 : 1;
        const char32_t codePoint = paired ? QChar::surrogateToUcs4(character, text.at(i + 1)) : character.unicode();
        if ((character.isSurrogate() && !paired) || isControl(codePoint))
            text.replace(i, width, QChar(QChar::ReplacementCharacter));
        else
            i += width - 1;
    }
    return text;
}
