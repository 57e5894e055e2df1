// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>

// The words of a search text, read the same way wherever a person types one (the live table,
// the history window): the text is split at every single space, so two spaces give an empty
// word, which everything matches. A word matches what it is found in, capitals making no
// difference; a leading "-" inverts the match of the rest, so a lone "-" matches nothing.
class SearchWords
{
public:
    explicit SearchWords(const QString &text);

    // Whether every word matches; `found(word)` says whether a word (without its "-") is
    // found in the thing searched. An empty word is never asked about.
    template <typename Found> bool matches(Found &&found) const
    {
        return std::all_of(m_words.begin(), m_words.end(),
                           [&found](const QString &word) { return matchesWord(word, found); });
    }
    // Whether every word is found in one of `texts`.
    bool matchesAnyOf(const QStringList &texts) const;

    template <typename Found> static bool matchesWord(QStringView word, Found &&found)
    {
        if (word.isEmpty())
            return true;
        if (word.front() == u'-')
            return word.size() == 1 ? false : !found(word.mid(1));
        return found(word);
    }

    // Case-insensitive search as QString's (simple case folding, unit by unit), with a fast
    // path for ASCII words, which is what people type. The live table's filter runs over
    // every stream on every update cycle.
    static bool contains(QStringView haystack, QStringView word);

private:
    QStringList m_words;
};
