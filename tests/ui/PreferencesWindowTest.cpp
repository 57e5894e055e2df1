// SPDX-License-Identifier: MIT
#include "ui/PreferencesWindow.h"
#include "UiTestSupport.h"
#include "capture/StreamCapture.h"
#include "platform/Preferences.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

namespace {

// An open preferences window over the shared store; every key it can change is forgotten
// afterwards, so the registered defaults apply again for the next test.
class PreferencesWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        uiApplication();
        m_window = std::make_unique<PreferencesWindow>();
    }

    void TearDown() override
    {
        m_window.reset();
        for (const QLatin1StringView key :
             {Preferences::UpdateInterval, Preferences::RemoveInterval, Preferences::LookupHostnames,
              Preferences::LookupServiceNames, Preferences::NewStreamLogString, Preferences::StreamClosedLogString,
              Preferences::NewStreamLogEnabled, Preferences::StreamClosedLogEnabled, Preferences::KeepTcpConnections,
              Preferences::TcpIdleLimit, Preferences::HistoryEnabled, Preferences::HistoryPath,
              Preferences::HistoryRetentionDays, Preferences::HistoryRetentionBytes})
            Preferences::shared().removeValue(key);
    }

    template <typename Control> Control *control(const char *name) const
    {
        auto *found = m_window->findChild<Control *>(QLatin1StringView(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    std::unique_ptr<PreferencesWindow> m_window;
};

} // namespace

TEST_F(PreferencesWindowTest, HalfTypedInputGoesLiveOnlyWhenEditingFinishes)
{
    Preferences &store = Preferences::shared();
    const QString defaultTemplate = Preferences::defaultNewStreamLoggingString();
    auto *field = control<QLineEdit>("newStreamTemplateField");
    EXPECT_EQ(field->text(), defaultTemplate);

    field->clear();
    QTest::keyClicks(field, QStringLiteral("__source__ -> __destin"));
    EXPECT_EQ(store.stringValue(Preferences::NewStreamLogString), defaultTemplate);
    QTest::keyClicks(field, QStringLiteral("ation__"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(store.stringValue(Preferences::NewStreamLogString), QStringLiteral("__source__ -> __destination__"));

    auto *updateBox = control<QDoubleSpinBox>("updateIntervalBox");
    updateBox->selectAll();
    QTest::keyClicks(updateBox, QStringLiteral("2.5"));
    EXPECT_EQ(store.doubleValue(Preferences::UpdateInterval), 1.0);
    QTest::keyClick(updateBox, Qt::Key_Return);
    EXPECT_EQ(store.doubleValue(Preferences::UpdateInterval), 2.5);
}

TEST_F(PreferencesWindowTest, LinesSwitchedOffStayOffAfterARestart)
{
    auto *check = control<QCheckBox>("newStreamLogCheck");
    auto *field = control<QLineEdit>("newStreamTemplateField");
    ASSERT_TRUE(check->isChecked());
    check->click();
    EXPECT_FALSE(field->isEnabled());

    Preferences restarted(QSettings(QStringLiteral("Quillmere"), QStringLiteral("Quillmere")).fileName());
    restarted.registerDefaultPreferences();
    EXPECT_FALSE(restarted.boolValue(Preferences::NewStreamLogEnabled));
    EXPECT_EQ(restarted.newStreamLogTemplate(), std::nullopt);
    EXPECT_EQ(restarted.streamClosedLogTemplate(), Preferences::defaultStreamClosedLoggingString());
    // Only the switch was saved: the template stays the default, ready for switching back on.
    EXPECT_FALSE(restarted.hasUserValue(Preferences::NewStreamLogString));
}

TEST_F(PreferencesWindowTest, ControlsFollowChangesMadeElsewhere)
{
    Preferences &store = Preferences::shared();
    auto *updateBox = control<QDoubleSpinBox>("updateIntervalBox");
    auto *removeBox = control<QDoubleSpinBox>("removeIntervalBox");
    EXPECT_EQ(updateBox->minimum(), StreamCapture::kMinimumUpdateInterval);
    EXPECT_EQ(removeBox->minimum(), StreamCapture::kMinimumRemoveInterval);
    EXPECT_EQ(updateBox->maximum(), StreamCapture::kMaximumInterval);
    EXPECT_EQ(removeBox->maximum(), StreamCapture::kMaximumInterval);

    store.setValue(Preferences::RemoveInterval, 30.0);
    EXPECT_EQ(removeBox->value(), 30.0);
    // Shown within the limits, but never written back: the capture brings it within itself.
    store.setValue(Preferences::UpdateInterval, 0.01);
    EXPECT_EQ(updateBox->value(), StreamCapture::kMinimumUpdateInterval);
    EXPECT_EQ(store.doubleValue(Preferences::UpdateInterval), 0.01);

    EXPECT_FALSE(control<QCheckBox>("lookupServiceNamesCheck")->isChecked());
    store.setValue(Preferences::LookupServiceNames, true);
    EXPECT_TRUE(control<QCheckBox>("lookupServiceNamesCheck")->isChecked());

    auto *field = control<QLineEdit>("streamClosedTemplateField");
    store.setValue(Preferences::StreamClosedLogEnabled, false);
    EXPECT_FALSE(control<QCheckBox>("streamClosedLogCheck")->isChecked());
    EXPECT_FALSE(field->isEnabled());

    store.setValue(Preferences::StreamClosedLogString, QStringLiteral("closed __source__"));
    EXPECT_EQ(field->text(), QStringLiteral("closed __source__"));
    control<QPushButton>("restoreTemplatesButton")->click();
    EXPECT_EQ(field->text(), Preferences::defaultStreamClosedLoggingString());
    EXPECT_EQ(store.stringValue(Preferences::StreamClosedLogString), Preferences::defaultStreamClosedLoggingString());
}

TEST_F(PreferencesWindowTest, EscapeAndControlWCloseTheWindow)
{
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keySequence(m_window.get(), keys);
        EXPECT_FALSE(m_window->isVisible()) << keys.toString().toStdString();
    }
}

// Off by default, the idle limit then has nothing to limit.
TEST_F(PreferencesWindowTest, KeepingTcpConnectionsIsOffByDefaultAndEnablesItsIdleLimit)
{
    auto *keep = control<QCheckBox>("keepTcpConnectionsCheck");
    auto *idleLimit = control<QDoubleSpinBox>("tcpIdleLimitBox");
    EXPECT_EQ(keep->isChecked(), Preferences::defaultValues().value(Preferences::KeepTcpConnections).toBool());
    EXPECT_EQ(idleLimit->value(), Preferences::defaultValues().value(Preferences::TcpIdleLimit).toDouble());
    EXPECT_FALSE(idleLimit->isEnabled());
    keep->click();
    EXPECT_TRUE(Preferences::shared().boolValue(Preferences::KeepTcpConnections));
    EXPECT_TRUE(idleLimit->isEnabled());
}

// The history controls write the keys the store reads, and show what is stored in the unit it
// reads best in.
TEST_F(PreferencesWindowTest, HistoryControlsRoundTripThroughTheStore)
{
    Preferences &store = Preferences::shared();
    auto *keep = control<QCheckBox>("historyEnabledCheck");
    auto *days = control<QSpinBox>("historyDaysBox");
    auto *size = control<QSpinBox>("historySizeBox");
    auto *unit = control<QComboBox>("historySizeUnitBox");
    auto *path = control<QLineEdit>("historyPathField");
    EXPECT_TRUE(keep->isChecked());
    EXPECT_EQ(days->value(), 30);
    EXPECT_EQ(size->value(), 1);
    EXPECT_EQ(unit->currentText(), "GiB");
    EXPECT_TRUE(path->text().isEmpty());

    keep->click();
    EXPECT_FALSE(store.boolValue(Preferences::HistoryEnabled));
    EXPECT_FALSE(days->isEnabled());
    keep->click();
    days->setValue(7);
    EXPECT_EQ(store.doubleValue(Preferences::HistoryRetentionDays), 7.0);
    unit->setCurrentIndex(0);
    size->setValue(300);
    EXPECT_EQ(store.value(Preferences::HistoryRetentionBytes).toLongLong(), 300LL << 20);
    store.setValue(Preferences::HistoryRetentionBytes, qlonglong{2} << 30);
    EXPECT_EQ(size->value(), 2);
    EXPECT_EQ(unit->currentText(), "GiB");

    path->setText(QStringLiteral("/tmp/elsewhere.sqlite"));
    QTest::keyClick(path, Qt::Key_Return);
    EXPECT_EQ(store.stringValue(Preferences::HistoryPath), "/tmp/elsewhere.sqlite");
    path->clear();
    QTest::keyClick(path, Qt::Key_Return);
    EXPECT_FALSE(store.hasUserValue(Preferences::HistoryPath));
}
