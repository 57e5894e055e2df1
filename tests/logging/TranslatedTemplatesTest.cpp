#include "logging/LogFormat.h"
#include "platform/Preferences.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QTranslator>

namespace {

QStringList keysOf(const QString &logTemplate)
{
    QStringList keys;
    for (const LogFormat::Record &record : getLogFormat(logTemplate).records) {
        if (record.key)
            keys << *record.key;
    }
    return keys;
}

} // namespace

// A translation may reword a default template but never lose, add or reorder a token.
TEST(TranslatedTemplates, EveryShippedTranslationKeepsTheTokensOfBothDefaultTemplates)
{
    int argc = 1;
    char name[] = "test_logging";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    const QStringList english{Preferences::defaultNewStreamLoggingString(),
                              Preferences::defaultStreamClosedLoggingString()};
    const QDir folder(QStringLiteral(QUILLMERE_BUILD_DIR "/share/quillmere/translations"));
    const QStringList translations = folder.entryList({QStringLiteral("*.qm")});
    ASSERT_FALSE(translations.isEmpty()) << "no compiled translation in " << folder.path().toStdString();
    for (const QString &file : translations) {
        QTranslator translator;
        ASSERT_TRUE(translator.load(folder.filePath(file)));
        QCoreApplication::installTranslator(&translator);
        const QStringList translated{Preferences::defaultNewStreamLoggingString(),
                                     Preferences::defaultStreamClosedLoggingString()};
        QCoreApplication::removeTranslator(&translator);
        for (int index = 0; index < english.size(); ++index) {
            EXPECT_NE(translated[index], english[index]) << file.toStdString() << " leaves a template untranslated";
            EXPECT_EQ(keysOf(translated[index]), keysOf(english[index])) << file.toStdString();
        }
    }
}
