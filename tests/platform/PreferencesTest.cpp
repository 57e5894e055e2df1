// SPDX-License-Identifier: MIT
#include "platform/Preferences.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QObject>
#include <QSettings>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

class PreferencesTest : public ::testing::Test
{
protected:
    // A fresh store over the same file, as at the next start of the application.
    std::unique_ptr<Preferences> startStore()
    {
        auto store = std::make_unique<Preferences>(path);
        store->registerDefaultPreferences();
        return store;
    }

    QByteArray fileContents() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Quillmere.conf"));
};

const char *const kNewStreamTemplate
    = "__dateTime__ (__unixTime__): new __protocol__ stream: source: __source__ - destination: "
      "__destination__";
const char *const kClosedStreamTemplate
    = "__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - destination: "
      "__destination__ - total bytes uploaded: __lifetimeUpDataBytes__ "
      "(__lifetimeUpDataBytesFormatted__ at __lifetimeUpSpeed__) - total bytes downloaded: "
      "__lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ at __lifetimeDownSpeed__)";

} // namespace

TEST_F(PreferencesTest, RegisteredDefaultsAreReadButNeverWritten)
{
    const auto store = startStore();
    EXPECT_EQ(store->value(Preferences::UpdateInterval), QVariant(1.0));
    EXPECT_EQ(store->value(Preferences::RemoveInterval), QVariant(10.0));
    EXPECT_EQ(store->value(Preferences::LookupHostnames), QVariant(true));
    EXPECT_EQ(store->stringValue(Preferences::NewStreamLogString), kNewStreamTemplate);
    EXPECT_EQ(store->stringValue(Preferences::StreamClosedLogString), kClosedStreamTemplate);
    EXPECT_EQ(store->initialValues(), Preferences::defaultValues());
    // No default is registered for the service-name switch, so it reads as off.
    EXPECT_FALSE(store->value(Preferences::LookupServiceNames).isValid());
    EXPECT_FALSE(store->boolValue(Preferences::LookupServiceNames));

    store->setValue(Preferences::LookupHostnames, false);
    EXPECT_FALSE(fileContents().contains("UpdateInterval"));
    EXPECT_FALSE(fileContents().contains("__dateTime__"));
}

TEST_F(PreferencesTest, UserValueSurvivesRestartAndRemovalBringsDefaultBack)
{
    startStore()->setValue(Preferences::UpdateInterval, 2.5);
    startStore()->setValue(Preferences::LookupServiceNames, true);

    auto store = startStore();
    // Read back in the key's own type although the file keeps text.
    EXPECT_EQ(store->value(Preferences::UpdateInterval), QVariant(2.5));
    EXPECT_EQ(store->value(Preferences::LookupServiceNames), QVariant(true));
    EXPECT_TRUE(store->hasUserValue(Preferences::UpdateInterval));

    store->removeValue(Preferences::UpdateInterval);
    EXPECT_EQ(store->value(Preferences::UpdateInterval), QVariant(1.0));
    EXPECT_FALSE(startStore()->hasUserValue(Preferences::UpdateInterval));
    EXPECT_DOUBLE_EQ(startStore()->doubleValue(Preferences::UpdateInterval), 1.0);
}

TEST_F(PreferencesTest, UnreadableSavedValueFallsBackToDefault)
{
    {
        QSettings file(path, QSettings::IniFormat);
        file.setValue(QStringLiteral("UpdateInterval"), QStringLiteral("fast"));
        file.setValue(QStringLiteral("RemoveInterval"), QStringLiteral("30"));
    }
    const auto store = startStore();
    EXPECT_EQ(store->value(Preferences::UpdateInterval), QVariant(1.0));
    EXPECT_EQ(store->value(Preferences::RemoveInterval), QVariant(30.0));
}

TEST_F(PreferencesTest, ResetLoggingStringsRestoresOnlyTheTemplates)
{
    auto store = startStore();
    store->setValue(Preferences::NewStreamLogString, QStringLiteral("new __source__"));
    store->setValue(Preferences::StreamClosedLogString, QStringLiteral("closed __source__"));
    store->setValue(Preferences::UpdateInterval, 3.0);
    store->setValue(Preferences::RemoveInterval, 60.0);
    store->setValue(Preferences::LookupHostnames, false);
    store->setValue(Preferences::LookupServiceNames, true);

    QStringList announced;
    QObject::connect(store.get(), &Preferences::valueChanged,
                     [&](const QString &key, const QVariant &) { announced << key; });
    store->resetLoggingStrings();

    EXPECT_EQ(announced, (QStringList{Preferences::NewStreamLogString, Preferences::StreamClosedLogString}));
    store = startStore();
    EXPECT_EQ(store->stringValue(Preferences::NewStreamLogString), kNewStreamTemplate);
    EXPECT_EQ(store->stringValue(Preferences::StreamClosedLogString), kClosedStreamTemplate);
    EXPECT_EQ(store->doubleValue(Preferences::UpdateInterval), 3.0);
    EXPECT_EQ(store->doubleValue(Preferences::RemoveInterval), 60.0);
    EXPECT_FALSE(store->boolValue(Preferences::LookupHostnames));
    EXPECT_TRUE(store->boolValue(Preferences::LookupServiceNames));

    store->revertToInitialValues();
    EXPECT_EQ(store->value(Preferences::UpdateInterval), QVariant(1.0));
    EXPECT_EQ(store->value(Preferences::LookupHostnames), QVariant(true));
    EXPECT_TRUE(store->boolValue(Preferences::LookupServiceNames));
}

TEST_F(PreferencesTest, BindingPushesAtOnceAndOnEveryChangeWhileContextLives)
{
    const auto store = startStore();
    QVariantList pushed;
    auto context = std::make_unique<QObject>();
    store->bind(Preferences::UpdateInterval, context.get(), [&](const QVariant &value) { pushed << value; });
    EXPECT_EQ(pushed, QVariantList{1.0});

    store->setValue(Preferences::UpdateInterval, 0.5);
    store->setValue(Preferences::RemoveInterval, 20.0); // another key: not pushed
    store->setValue(Preferences::UpdateInterval, 0.5);  // unchanged: not pushed
    store->removeValue(Preferences::UpdateInterval);
    EXPECT_EQ(pushed, (QVariantList{1.0, 0.5, 1.0}));

    context.reset();
    store->setValue(Preferences::UpdateInterval, 4.0);
    EXPECT_EQ(pushed.size(), 3);
}

TEST_F(PreferencesTest, RegisteringADefaultIsAnnouncedToBindings)
{
    Preferences store(path);
    QVariantList pushed;
    QObject context;
    store.bind(Preferences::NewStreamLogString, &context, [&](const QVariant &value) { pushed << value; });
    store.registerDefaultPreferences();
    EXPECT_EQ(pushed, (QVariantList{QVariant(), QString::fromLatin1(kNewStreamTemplate)}));
}

TEST_F(PreferencesTest, DefaultLocationIsTheQuillmereFolderOfTheUserConfig)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    Preferences store;
    store.setValue(Preferences::LookupServiceNames, true);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("Quillmere/Quillmere.conf"))));
}

TEST_F(PreferencesTest, ReaderThreadsReadWhileTheMainThreadWrites)
{
    const auto store = startStore();
    std::atomic<bool> done{false};
    std::atomic<bool> strayValue{false};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&] {
            while (!done) {
                const QVariant on = store->value(Preferences::LookupServiceNames);
                const double interval = store->doubleValue(Preferences::UpdateInterval);
                if ((on.isValid() && on.metaType() != QMetaType::fromType<bool>()) || interval < 1.0 || interval > 50.0)
                    strayValue = true;
            }
        });
    for (int i = 0; i < 50; ++i) {
        store->setValue(Preferences::LookupServiceNames, i % 2 == 0);
        store->setValue(Preferences::UpdateInterval, 1.0 + i);
    }
    done = true;
    for (auto &reader : readers)
        reader.join();
    EXPECT_FALSE(strayValue);
    EXPECT_DOUBLE_EQ(store->doubleValue(Preferences::UpdateInterval), 50.0);
}

TEST_F(PreferencesTest, AnEventSwitchedOffStaysOffAfterARestartWhileItsTemplateIsKept)
{
    {
        const auto store = startStore();
        store->setValue(Preferences::NewStreamLogString, QStringLiteral("new __source__"));
        store->setValue(Preferences::NewStreamLogEnabled, false);
        store->setValue(Preferences::StreamClosedLogString, QString());
    }
    const auto restarted = startStore();
    EXPECT_EQ(restarted->newStreamLogTemplate(), std::nullopt);
    EXPECT_EQ(restarted->stringValue(Preferences::NewStreamLogString), "new __source__");
    // An emptied template is a template: one empty line per event.
    EXPECT_EQ(restarted->streamClosedLogTemplate(), QString());
    restarted->setValue(Preferences::NewStreamLogEnabled, true);
    EXPECT_EQ(restarted->newStreamLogTemplate(), QStringLiteral("new __source__"));
}

// What the process that stored a template reads is what the next start reads.
TEST_F(PreferencesTest, ATemplateWithoutTextReadsTheSameBeforeAndAfterARestart)
{
    for (const QVariant &stored : {QVariant(QString()), QVariant(QStringLiteral("")), QVariant()}) {
        SCOPED_TRACE(stored.isValid() ? "a null or empty text" : "no value");
        std::optional<QString> before;
        {
            const auto store = startStore();
            store->setValue(Preferences::NewStreamLogString, stored);
            before = store->newStreamLogTemplate();
        }
        const auto restarted = startStore();
        const std::optional<QString> after = restarted->newStreamLogTemplate();
        ASSERT_EQ(before.has_value(), after.has_value());
        if (before) {
            EXPECT_EQ(*before, *after);
            EXPECT_EQ(before->isNull(), after->isNull());
        }
    }
}
