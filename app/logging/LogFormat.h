// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>
#include <vector>

// A parsed log template: one record per "__key__" token, in template order, each with the
// literal text before the token, then a last record with no key holding the text after
// the last token (possibly empty). Parsed once per template change, read for every line.
struct LogFormat
{
    struct Record
    {
        QString literal;
        std::optional<QString> key;

        friend bool operator==(const Record &, const Record &) = default;
    };

    std::vector<Record> records;
};

// Parses a template; never fails. A token is "__", a key of at least one character, "__";
// the key runs up to the next "__" and there is no escape. An unfinished token (the text
// ends inside it, or its key would be empty) ends the parse: the literal before it and its
// opening "__" are dropped, and the last record's literal is the rest of the template from
// where reading stopped (nothing for a key that ran to the end; from the second "__" on,
// unparsed, for an empty key).
LogFormat getLogFormat(const QString &logTemplate);

// The template text back from its parsed form: each literal, then "__" key "__" where
// there is a key. A template that parsed cleanly comes back unchanged.
QString logFormatStringForStruct(const LogFormat &format);
