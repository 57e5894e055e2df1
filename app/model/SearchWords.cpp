// SPDX-License-Identifier: MIT
#include "model/SearchWords.h"

namespace {

char16_t foldedUnit(char16_t unit)
{
    if (unit < 0x80)
        return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
    return QChar(unit).toCaseFolded().unicode();
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar unit) { return unit.unicode() < 0x80; });
}

} // namespace

SearchWords::SearchWords(const QString &text)
    : m_words(text.split(u' '))
{
}

bool SearchWords::matchesAnyOf(const QStringList &texts) const
{
    return matches([&texts](QStringView word) {
        return std::any_of(texts.begin(), texts.end(), [word](const QString &text) { return contains(text, word); });
    });
}

bool SearchWords::contains(QStringView haystack, QStringView word)
{
    if (!isAscii(word))
        return haystack.contains(word, Qt::CaseInsensitive);
    const auto unitsEqual
        = [](QChar wanted, QChar seen) { return foldedUnit(wanted.unicode()) == foldedUnit(seen.unicode()); };
    return std::search(haystack.begin(), haystack.end(), word.begin(), word.end(), unitsEqual) != haystack.end();
}
