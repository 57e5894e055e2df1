// SPDX-License-Identifier: MIT
#include "ui/AppDelegate.h"
#include "UiTestSupport.h"
#include "platform/Bundle.h"
#include "platform/Elevation.h"
#include "ui/HelpBrowser.h"
#include "ui/HelpWindow.h"
#include "ui/InterfaceChooser.h"
#include "ui/StreamWindowController.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

using Interfaces = std::optional<QList<InterfaceList::Entry>>;

// The password dialog as the person answers it, without a dialog.
class AnsweringElevation final : public Elevation
{
public:
    explicit AnsweringElevation(Outcome answer)
        : m_answer(answer)
    {
    }
    Result runAsRoot(const QString &, const QStringList &, const QString &) override { return {m_answer, -1}; }

private:
    Outcome m_answer;
};

template <typename Window> QList<Window *> openWindows()
{
    QList<Window *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Window *>(widget); window != nullptr && window->isVisible())
            found << window;
    }
    return found;
}

InterfaceChooser *shownChooser()
{
    const QList<InterfaceChooser *> choosers = openWindows<InterfaceChooser>();
    return choosers.size() == 1 ? choosers.front() : nullptr;
}

QString reasonShown(InterfaceChooser *chooser)
{
    return chooser->findChild<QLabel *>(QStringLiteral("reasonLabel"))->text();
}

QPushButton *watchButton(InterfaceChooser *chooser)
{
    return chooser->findChild<QPushButton *>(QStringLiteral("watchButton"));
}

class AppDelegateTest : public ::testing::Test
{
protected:
    void SetUp() override { uiApplication(); }
};

} // namespace

TEST_F(AppDelegateTest, ChooserWithoutInterfacesSaysWhyAndCannotWatch)
{
    const std::pair<Interfaces, QString> cases[] = {
        {QList<InterfaceList::Entry>{}, QStringLiteral("No network interface that is up has an address.")},
        {std::nullopt, QStringLiteral("The network interfaces could not be read.")},
    };
    for (const auto &[interfaces, reason] : cases) {
        AppDelegate delegate([list = interfaces] { return list; });
        delegate.applicationDidFinishLaunching();
        InterfaceChooser *chooser = shownChooser();
        ASSERT_NE(chooser, nullptr);
        EXPECT_FALSE(watchButton(chooser)->isEnabled());
        EXPECT_EQ(reasonShown(chooser), reason);
        // Watch stays harmless even when triggered by other means.
        delegate.watchInterface();
        EXPECT_TRUE(openWindows<StreamWindowController>().isEmpty());
    }
}

TEST_F(AppDelegateTest, HelpCommandReturnsToTheStartPageInTheSameWindow)
{
    AppDelegate delegate([] { return Interfaces{}; });
    delegate.showHelp();
    const QList<HelpWindow *> windows = openWindows<HelpWindow>();
    ASSERT_EQ(windows.size(), 1);
    HelpBrowser *browser = windows.front()->browser();
    const QUrl start = QUrl::fromLocalFile(Bundle::pathForResource(QStringLiteral("Help/index.html")));
    EXPECT_EQ(browser->source(), start);
    EXPECT_EQ(browser->documentTitle(), QStringLiteral("Quillmere Help"));

    browser->setSource(start.resolved(QUrl(QStringLiteral("table.html"))));
    ASSERT_EQ(browser->documentTitle(), QStringLiteral("The Stream Table"));
    windows.front()->close();
    delegate.showHelp();
    EXPECT_EQ(openWindows<HelpWindow>(), windows);
    EXPECT_EQ(browser->source(), start);
    EXPECT_EQ(browser->documentTitle(), QStringLiteral("Quillmere Help"));
}

// The capture tool has to be installed (the support folder is empty), and the approval is
// answered without a password dialog.
class WatchWithoutApprovalTest : public AppDelegateTest
{
protected:
    void SetUp() override
    {
        AppDelegateTest::SetUp();
        ASSERT_TRUE(m_supportFolder.isValid());
        qputenv("QUILLMERE_SUPPORT_DIR", QFile::encodeName(m_supportFolder.path()));
    }
    void TearDown() override
    {
        Elevation::setSharedForTesting(nullptr);
        qunsetenv("QUILLMERE_SUPPORT_DIR");
    }

    // Chooses the loopback entry, the second, and clicks Watch; the approval is answered as given.
    static void watchLoopback(AppDelegate &delegate, Elevation::Outcome answer)
    {
        AnsweringElevation elevation(answer);
        Elevation::setSharedForTesting(&elevation);
        delegate.applicationDidFinishLaunching();
        InterfaceChooser *chooser = shownChooser();
        ASSERT_NE(chooser, nullptr);
        chooser->findChild<QComboBox *>(QStringLiteral("interfaceBox"))->setCurrentIndex(1);
        watchButton(chooser)->click();
        Elevation::setSharedForTesting(nullptr);
    }

    static Interfaces interfaces()
    {
        return QList<InterfaceList::Entry>{
            {QStringLiteral("eth0"), QStringLiteral("192.0.2.7"), QStringLiteral("eth0 - 192.0.2.7"),
             QStringLiteral("eth0")},
            {QStringLiteral("lo"), QStringLiteral("127.0.0.1"), QStringLiteral("lo - 127.0.0.1"), QStringLiteral("lo")},
        };
    }

    QTemporaryDir m_supportFolder;
};

TEST_F(WatchWithoutApprovalTest, CancelledPasswordDialogBringsTheChooserBackWithoutWords)
{
    AppDelegate delegate(&interfaces);
    watchLoopback(delegate, Elevation::Outcome::Dismissed);
    InterfaceChooser *chooser = shownChooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(watchButton(chooser)->isEnabled());
    EXPECT_TRUE(openWindows<StreamWindowController>().isEmpty());
    EXPECT_TRUE(openWindows<QMessageBox>().isEmpty());
}

TEST_F(WatchWithoutApprovalTest, RefusedApprovalIsExplainedOverTheChooser)
{
    AppDelegate delegate(&interfaces);
    watchLoopback(delegate, Elevation::Outcome::NotAuthorized);
    ASSERT_NE(shownChooser(), nullptr);
    EXPECT_TRUE(openWindows<StreamWindowController>().isEmpty());
    const QList<QMessageBox *> alerts = openWindows<QMessageBox>();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.front()->windowTitle(), QCoreApplication::applicationName());
    EXPECT_EQ(alerts.front()->textFormat(), Qt::PlainText);
    EXPECT_EQ(alerts.front()->informativeText(), QStringLiteral("Installing the capture tool was not authorized."));
}

// With --interface there is no chooser to come back to: the reason is an alert all the same.
TEST_F(WatchWithoutApprovalTest, OnTheCommandLineARefusedApprovalIsAnAlertToo)
{
    AppDelegate delegate(&interfaces);
    AnsweringElevation elevation(Elevation::Outcome::NotAuthorized);
    Elevation::setSharedForTesting(&elevation);
    QString failure;
    EXPECT_FALSE(delegate.watchInterfaceNamed(QStringLiteral("lo"), &failure));
    Elevation::setSharedForTesting(nullptr);
    EXPECT_EQ(failure, QStringLiteral("Installing the capture tool was not authorized."));
    const QList<QMessageBox *> alerts = openWindows<QMessageBox>();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.front()->text(), QStringLiteral("Quillmere cannot watch lo."));
    EXPECT_EQ(alerts.front()->informativeText(), failure);
    delete alerts.front();
}
