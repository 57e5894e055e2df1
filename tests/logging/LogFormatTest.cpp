// SPDX-License-Identifier: MIT
#include "logging/LogFormat.h"

#include <gtest/gtest.h>

namespace {

using Record = LogFormat::Record;

Record token(const char *literal, const char *key)
{
    return {QString::fromUtf8(literal), QString::fromUtf8(key)};
}

Record last(const char *literal)
{
    return {QString::fromUtf8(literal), std::nullopt};
}

std::vector<Record> parsed(const char *logTemplate)
{
    return getLogFormat(QString::fromUtf8(logTemplate)).records;
}

const char *const kNewStreamTemplate
    = "__dateTime__ (__unixTime__): new __protocol__ stream: source: __source__ - destination: __destination__";
const char *const kStreamClosedTemplate
    = "__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - destination: __destination__"
      " - total bytes uploaded: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ at __lifetimeUpSpeed__)"
      " - total bytes downloaded: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ at"
      " __lifetimeDownSpeed__)";

} // namespace

TEST(LogFormat, DefaultTemplatesParseIntoTheirTokensAndRebuildExactly)
{
    const std::vector<Record> expected{token("", "dateTime"),
                                       token(" (", "unixTime"),
                                       token("): new ", "protocol"),
                                       token(" stream: source: ", "source"),
                                       token(" - destination: ", "destination"),
                                       last("")};
    EXPECT_EQ(parsed(kNewStreamTemplate), expected);

    for (const char *logTemplate : {kNewStreamTemplate, kStreamClosedTemplate}) {
        const QString text = QString::fromUtf8(logTemplate);
        EXPECT_EQ(logFormatStringForStruct(getLogFormat(text)), text);
    }
    EXPECT_EQ(getLogFormat(QString::fromUtf8(kStreamClosedTemplate)).records.size(), 12u);
}

TEST(LogFormat, TemplatesWithoutTokensAreOneRecordOfTheirWholeText)
{
    EXPECT_EQ(parsed(""), std::vector<Record>{last("")});
    EXPECT_EQ(parsed("plain text, _single_ underscores\nand a line break"),
              std::vector<Record>{last("plain text, _single_ underscores\nand a line break")});
    EXPECT_EQ(parsed("a __source__ b"), (std::vector<Record>{token("a ", "source"), last(" b")}));
    // A token right at the start has an empty literal; one at the end leaves an empty last record.
    EXPECT_EQ(parsed("__source____protocol__"),
              (std::vector<Record>{token("", "source"), token("", "protocol"), last("")}));
}

TEST(LogFormat, UnfinishedTokensDropWhatWasReadOfThem)
{
    // A key running to the end: the literal before it, "__" and the key are all dropped.
    EXPECT_EQ(parsed("some text __source"), std::vector<Record>{last("")});
    EXPECT_EQ(parsed("a__source__ b __destination"), (std::vector<Record>{token("a", "source"), last("")}));
    // A template ending in an opening "__" is a key that would be empty at the end.
    EXPECT_EQ(parsed("some text __"), std::vector<Record>{last("")});
    // An empty key: the rest from the second "__" on is kept unparsed.
    EXPECT_EQ(parsed("some text____x"), std::vector<Record>{last("__x")});
    EXPECT_EQ(parsed("__source__ a____b __protocol__"),
              (std::vector<Record>{token("", "source"), last("__b __protocol__")}));
}

TEST(LogFormat, KeysRunToTheNextDoubleUnderscore)
{
    // Three underscores: the key starts with the third one.
    EXPECT_EQ(parsed("a___b__c"), (std::vector<Record>{token("a", "_b"), last("c")}));
    EXPECT_EQ(parsed("__with space__"), (std::vector<Record>{token("", "with space"), last("")}));
    // Percent signs are plain text.
    EXPECT_EQ(parsed("100%s __%n__"), (std::vector<Record>{token("100%s ", "%n"), last("")}));
}
