// SPDX-License-Identifier: MIT
#include "ui/ToolbarImages.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

namespace {

// Points are y-down, as Qt draws; the pictures are designed y-up, so a missed flip shows.
class ToolbarImagesTest : public ::testing::Test
{
protected:
    void SetUp() override { uiApplication(); }

    static QImage drawn(const QIcon &icon, qreal ratio = 1.0)
    {
        return icon.pixmap(QSize(ToolbarImages::kSize, ToolbarImages::kSize), ratio)
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    }

    static bool isBlack(QRgb pixel)
    {
        return qAlpha(pixel) == 255 && qRed(pixel) < 40 && qGreen(pixel) < 40 && qBlue(pixel) < 40;
    }

    static bool isRed(QRgb pixel)
    {
        return qAlpha(pixel) == 255 && qRed(pixel) > 220 && qGreen(pixel) < 40 && qBlue(pixel) < 40;
    }

    // Nothing there but, at most, the translucent black shadow.
    static bool isClear(QRgb pixel)
    {
        return qAlpha(pixel) < 110 && qRed(pixel) < 40 && qGreen(pixel) < 40 && qBlue(pixel) < 40;
    }
};

} // namespace

TEST_F(ToolbarImagesTest, PauseAndPlayAreDrawnForBothPixelRatios)
{
    const QImage pause = drawn(ToolbarImages::pauseImage());
    EXPECT_TRUE(isBlack(pause.pixel(16, 24)));
    EXPECT_TRUE(isBlack(pause.pixel(32, 24)));
    EXPECT_TRUE(isClear(pause.pixel(24, 24)));
    const QImage doubled = drawn(ToolbarImages::pauseImage(), 2.0);
    ASSERT_EQ(doubled.size(), QSize(96, 96));
    EXPECT_TRUE(isBlack(doubled.pixel(32, 48)));
    EXPECT_TRUE(isClear(doubled.pixel(48, 48)));

    const QImage play = drawn(ToolbarImages::playImage());
    EXPECT_TRUE(isBlack(play.pixel(12, 24)));
    EXPECT_TRUE(isBlack(play.pixel(37, 24)));
    EXPECT_TRUE(isClear(play.pixel(43, 24)));
    EXPECT_TRUE(isClear(play.pixel(36, 10)));
}

TEST_F(ToolbarImagesTest, RefreshArrowheadIsAtTheTopAndTheArcGoesRoundTheBottom)
{
    const QImage refresh = drawn(ToolbarImages::refreshImage());
    EXPECT_TRUE(isBlack(refresh.pixel(32, 10)));
    EXPECT_TRUE(isBlack(refresh.pixel(34, 34)));
    EXPECT_TRUE(isBlack(refresh.pixel(10, 24)));
    EXPECT_TRUE(isClear(refresh.pixel(24, 24)));
}

TEST_F(ToolbarImagesTest, LogArrowPointsIntoTheDocumentAndStopLogCrossesItOut)
{
    const QImage log = drawn(ToolbarImages::logImage());
    EXPECT_TRUE(isBlack(log.pixel(6, 24)));
    EXPECT_TRUE(isBlack(log.pixel(28, 24)));
    EXPECT_FALSE(isBlack(log.pixel(28, 15)));

    const QImage stopLog = drawn(ToolbarImages::stopLogImage());
    EXPECT_TRUE(isRed(stopLog.pixel(5, 24)));
    EXPECT_TRUE(isRed(stopLog.pixel(14, 14)));
    EXPECT_FALSE(isRed(stopLog.pixel(14, 34)));
    EXPECT_TRUE(isBlack(stopLog.pixel(10, 24)));
}

TEST_F(ToolbarImagesTest, SharedPicturesAreMadeOnceAndRefreshIsMadeEveryTime)
{
    EXPECT_EQ(ToolbarImages::pauseImage().cacheKey(), ToolbarImages::pauseImage().cacheKey());
    EXPECT_EQ(ToolbarImages::playImage().cacheKey(), ToolbarImages::playImage().cacheKey());
    EXPECT_EQ(ToolbarImages::logImage().cacheKey(), ToolbarImages::logImage().cacheKey());
    EXPECT_EQ(ToolbarImages::stopLogImage().cacheKey(), ToolbarImages::stopLogImage().cacheKey());
    EXPECT_NE(ToolbarImages::refreshImage().cacheKey(), ToolbarImages::refreshImage().cacheKey());

    ToolbarImages store;
    store.image(ToolbarImages::StopLog);
    EXPECT_TRUE(store.isMade(ToolbarImages::Log));
    EXPECT_FALSE(store.isMade(ToolbarImages::Pause));
    EXPECT_FALSE(store.isMade(ToolbarImages::Play));
}
