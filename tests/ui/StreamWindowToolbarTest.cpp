// SPDX-License-Identifier: MIT
#include "ui/StreamWindowToolbar.h"
#include "UiTestSupport.h"
#include "platform/SystemLog.h"
#include "ui/ToolbarImages.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>

#include <memory>

namespace {

const QString kKey = QString(Preferences::StreamWindow);
const QStringList kDefaultItems{"Refresh", "Pause", "Summary", "Logging", "FlexibleSpace", "Search"};

class StreamWindowToolbarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        uiApplication();
        Preferences::shared().removeValue(kKey);
    }

    void TearDown() override
    {
        setSystemLogSink({});
        Preferences::shared().removeValue(kKey);
    }

    // What the person does in the toolbar's context menu.
    static void choose(StreamWindowToolbar &toolbar, const QString &label)
    {
        const std::unique_ptr<QMenu> menu(toolbar.customizationMenu(nullptr));
        for (QAction *action : menu->actions()) {
            if (action->text() == label) {
                action->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no menu entry " << label.toStdString();
    }
};

// A stream window's parts: the toolbar takes the window's search field.
struct Window
{
    Window() { main.addToolBar(toolbar); }

    QMainWindow main;
    QLineEdit *searchField = new QLineEdit(&main);
    StreamWindowToolbar *toolbar = new StreamWindowToolbar(searchField, &main);
};

// The four requests, counted.
struct Requests
{
    explicit Requests(StreamWindowToolbar &toolbar)
        : refresh(&toolbar, &StreamWindowToolbar::refreshRequested)
        , pause(&toolbar, &StreamWindowToolbar::pauseRequested)
        , summary(&toolbar, &StreamWindowToolbar::summaryRequested)
        , logging(&toolbar, &StreamWindowToolbar::loggingRequested)
    {
    }

    QList<qsizetype> counts() const { return {refresh.size(), pause.size(), summary.size(), logging.size()}; }

    QSignalSpy refresh;
    QSignalSpy pause;
    QSignalSpy summary;
    QSignalSpy logging;
};

} // namespace

TEST_F(StreamWindowToolbarTest, DefaultItemsSendTheirRequestsAndShowTheSearchField)
{
    Window window;
    StreamWindowToolbar &toolbar = *window.toolbar;
    ASSERT_EQ(toolbar.itemIdentifiers(), kDefaultItems);
    EXPECT_EQ(toolbar.toolButtonStyle(), Qt::ToolButtonTextUnderIcon);

    Requests requests(toolbar);
    for (const QString identifier : {"Refresh", "Pause", "Summary", "Logging"})
        toolbar.itemWithIdentifier(identifier)->trigger();
    EXPECT_EQ(requests.counts(), (QList<qsizetype>{1, 1, 1, 1}));

    EXPECT_EQ(toolbar.widgetForAction(toolbar.itemWithIdentifier("Search")), window.searchField);
    EXPECT_EQ(window.searchField->minimumWidth(), 100);
    EXPECT_EQ(window.searchField->maximumWidth(), 400);
    EXPECT_FALSE(toolbar.itemWithIdentifier("Summary")->icon().isNull());
}

TEST_F(StreamWindowToolbarTest, AnUnknownSavedIdentifierIsLoggedAndGivesABareItem)
{
    QStringList logged;
    setSystemLogSink([&logged](const QString &message) { logged << message; });
    Preferences::shared().setValue(kKey, QVariantMap{{"items", QStringList{"Refresh", "Foo"}}});

    Window window;
    StreamWindowToolbar &toolbar = *window.toolbar;
    EXPECT_EQ(toolbar.itemIdentifiers(), (QStringList{"Refresh", "Foo"}));
    EXPECT_EQ(logged, QStringList{"Couldn't find selector setupFooToolbarItem: when creating toolbar item!"});
    QAction *bare = toolbar.itemWithIdentifier("Foo");
    EXPECT_EQ(bare->text(), "Foo");
    EXPECT_TRUE(bare->icon().isNull());
    Requests requests(toolbar);
    bare->trigger();
    EXPECT_EQ(requests.counts(), (QList<qsizetype>{0, 0, 0, 0}));
}

TEST_F(StreamWindowToolbarTest, AChoiceReachesEveryOpenToolbarAndSurvivesARestart)
{
    Window firstWindow;
    Window secondWindow;
    StreamWindowToolbar &first = *firstWindow.toolbar;
    StreamWindowToolbar &second = *secondWindow.toolbar;

    choose(first, "Summary");
    choose(first, "Search");
    choose(first, "Icon Only");
    const QStringList chosen{"Refresh", "Pause", "Logging", "FlexibleSpace"};
    EXPECT_EQ(second.itemIdentifiers(), chosen);
    EXPECT_EQ(second.toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_FALSE(secondWindow.searchField->isVisibleTo(&second));

    const Window later;
    EXPECT_EQ(later.toolbar->itemIdentifiers(), chosen);
    EXPECT_EQ(later.toolbar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    const QVariantMap reread = Preferences().value(kKey).toMap();
    EXPECT_EQ(reread.value("items").toStringList(), chosen);
    EXPECT_EQ(reread.value("display").toString(), "iconOnly");

    // Shown again, an item takes its own place.
    choose(second, "Summary");
    choose(second, "Search");
    EXPECT_EQ(first.itemIdentifiers(), kDefaultItems);
    EXPECT_EQ(second.widgetForAction(second.itemWithIdentifier("Search")), secondWindow.searchField);
}

TEST_F(StreamWindowToolbarTest, PauseAndLoggingShowTheCurrentStateAlsoWhenShownAgain)
{
    Window window;
    StreamWindowToolbar &toolbar = *window.toolbar;
    toolbar.showPaused(true);
    toolbar.showLogging(true);
    EXPECT_EQ(toolbar.itemWithIdentifier("Pause")->text(), "Resume");
    EXPECT_EQ(toolbar.itemWithIdentifier("Logging")->text(), "Stop Logging");
    EXPECT_EQ(toolbar.itemWithIdentifier("Logging")->icon().cacheKey(), ToolbarImages::stopLogImage().cacheKey());

    // The menu names the item "Pause" whatever its state.
    choose(toolbar, "Pause");
    EXPECT_EQ(toolbar.itemWithIdentifier("Pause"), nullptr);
    choose(toolbar, "Pause");
    QAction *pause = toolbar.itemWithIdentifier("Pause");
    ASSERT_NE(pause, nullptr);
    EXPECT_EQ(pause->text(), "Resume");
    EXPECT_EQ(pause->icon().cacheKey(), ToolbarImages::playImage().cacheKey());

    toolbar.showPaused(false);
    EXPECT_EQ(pause->text(), "Pause");
    EXPECT_EQ(pause->icon().cacheKey(), ToolbarImages::pauseImage().cacheKey());
}
