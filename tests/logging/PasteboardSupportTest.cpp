// SPDX-License-Identifier: MIT
#include "logging/PasteboardSupport.h"
#include "TestEndpoints.h"

#include "model/Stream.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::shared_ptr<Stream>> shownStreams()
{
    auto first = std::make_shared<Stream>(EndpointText::label(QStringLiteral("A")),
                                          EndpointText::label(QStringLiteral("B")), QStringLiteral("C"));
    auto second
        = std::make_shared<Stream>(endpointAt("10.0.0.1", 22), endpointAt("10.0.0.2", 5000), QStringLiteral("UDP"));
    second->addUpDataBytes(1234567);
    return {first, second};
}

} // namespace

TEST(PasteboardSupport, CopyNeedsTheFocusedTableAndASelectedRow)
{
    EXPECT_TRUE(PasteboardSupport::canCopy(true, 0));
    EXPECT_FALSE(PasteboardSupport::canCopy(true, -1));
    EXPECT_FALSE(PasteboardSupport::canCopy(false, 3)) << "the search field has the focus";
}

TEST(PasteboardSupport, SelectedRowBecomesOneTabSeparatedLine)
{
    const std::vector<std::shared_ptr<Stream>> streams = shownStreams();
    const QStringList columns{QStringLiteral("source"), QStringLiteral("destination"), QStringLiteral("protocol")};
    EXPECT_EQ(PasteboardSupport::stringForCopy(columns, 0, streams), QStringLiteral("A\tB\tC"));

    // Unanswered keys leave no field and no tab; numbers give their decimal text.
    const QStringList mixed{QStringLiteral("nosuchkey"), QStringLiteral("protocol"),
                            QStringLiteral("lifetimeUpDataBytes"), QStringLiteral("alsoMissing")};
    EXPECT_EQ(PasteboardSupport::stringForCopy(mixed, 1, streams), QStringLiteral("UDP\t1234567"));
    EXPECT_EQ(PasteboardSupport::stringForCopy({}, 1, streams), QString());

    // Nothing without a shown row.
    EXPECT_EQ(PasteboardSupport::stringForCopy(columns, -1, streams), std::nullopt);
    // The display array shrank under a selection made before the update.
    EXPECT_EQ(PasteboardSupport::stringForCopy(columns, 2, streams), std::nullopt);
    EXPECT_EQ(PasteboardSupport::stringForCopy(columns, 0, {}), std::nullopt);

    // A value with a tab or a line break of its own stays one field.
    const std::vector<std::shared_ptr<Stream>> hostile{
        std::make_shared<Stream>(EndpointText::label(QStringLiteral("a\tb")),
                                 EndpointText::label(QStringLiteral("c\nd")), QStringLiteral("UDP"))};
    EXPECT_EQ(PasteboardSupport::stringForCopy(columns, 0, hostile), QStringLiteral("a\uFFFDb\tc\uFFFDd\tUDP"));
}
