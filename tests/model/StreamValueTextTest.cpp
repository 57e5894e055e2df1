// SPDX-License-Identifier: MIT
#include "TestEndpoints.h"
#include "model/Stream.h"
#include "model/ValueText.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace {

// Runs a check with the process's local time zone set to a POSIX TZ text.
class LocalZone
{
public:
    explicit LocalZone(const char *zone)
        : m_saved(qgetenv("TZ"))
        , m_hadZone(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        if (m_hadZone)
            qputenv("TZ", m_saved);
        else
            qunsetenv("TZ");
        tzset();
    }
    LocalZone(const LocalZone &) = delete;
    LocalZone &operator=(const LocalZone &) = delete;

private:
    QByteArray m_saved;
    bool m_hadZone;
};

// The numeric locale of a desktop whose numbers use a decimal comma, as QCoreApplication
// installs from the user's environment. No such locale need be installed: a definition with
// only its numeric part is compiled into a temporary folder.
class CommaNumericLocale
{
public:
    CommaNumericLocale()
        : m_saved(std::setlocale(LC_NUMERIC, nullptr))
    {
        if (!m_folder.isValid())
            return;
        QFile definition(m_folder.filePath(QStringLiteral("comma.def")));
        if (!definition.open(QIODevice::WriteOnly))
            return;
        definition.write("LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\nEND LC_NUMERIC\n");
        definition.close();
        // It warns about the categories left out, and compiles the numeric one regardless.
        QProcess localedef;
        localedef.setStandardOutputFile(QProcess::nullDevice());
        localedef.setStandardErrorFile(QProcess::nullDevice());
        localedef.start(QStringLiteral("localedef"),
                        {QStringLiteral("-c"), QStringLiteral("-i"), definition.fileName(), QStringLiteral("-f"),
                         QStringLiteral("UTF-8"), m_folder.filePath(QStringLiteral("comma.UTF-8"))});
        localedef.waitForFinished(60000);
        qputenv("LOCPATH", QFile::encodeName(m_folder.path()));
        m_active = std::setlocale(LC_NUMERIC, "comma.UTF-8") != nullptr;
    }
    ~CommaNumericLocale()
    {
        // LOCPATH would hide the system's locales from the restoring call.
        qunsetenv("LOCPATH");
        std::setlocale(LC_NUMERIC, m_saved.constData());
    }
    CommaNumericLocale(const CommaNumericLocale &) = delete;
    CommaNumericLocale &operator=(const CommaNumericLocale &) = delete;

    bool active() const { return m_active; }

private:
    QByteArray m_saved;
    QTemporaryDir m_folder;
    bool m_active = false;
};

} // namespace

TEST(StreamValueText, StringsAndIntegersAsTheyAre)
{
    EXPECT_EQ(textOfValue(QStringLiteral("10.0.0.2:ssh")), QStringLiteral("10.0.0.2:ssh"));
    EXPECT_EQ(textOfValue(QString()), QString());
    EXPECT_EQ(textOfValue(QVariant::fromValue(quint32{4294967295u})), QStringLiteral("4294967295"));
    EXPECT_EQ(textOfValue(QVariant::fromValue(std::numeric_limits<quint64>::max())),
              QStringLiteral("18446744073709551615"));
    EXPECT_EQ(textOfValue(QVariant::fromValue(qint64{-42})), QStringLiteral("-42"));
    EXPECT_EQ(textOfValue(QVariant(true)), QStringLiteral("1"));
    EXPECT_EQ(textOfValue(QVariant()), QString());
}

TEST(StreamValueText, DoublesUseSixteenSignificantDigits)
{
    EXPECT_EQ(textOfValue(1024.0), QStringLiteral("1024"));
    EXPECT_EQ(textOfValue(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(textOfValue(1.0 / 3.0), QStringLiteral("0.3333333333333333"));
    EXPECT_EQ(textOfValue(787654321.125), QStringLiteral("787654321.125"));
    EXPECT_EQ(textOfValue(1e20), QStringLiteral("1e+20"));
    EXPECT_EQ(textOfValue(-0.5), QStringLiteral("-0.5"));
    EXPECT_EQ(textOfValue(0.125 + 0.0000000000000001), QStringLiteral("0.1250000000000001"));
}

TEST(StreamValueText, DatesInLocalTimeWithNumericOffset)
{
    // Made inside each zone, as a value read by key is made just before its text.
    const auto referenceDate = [] { return QDateTime::fromSecsSinceEpoch(978307200); }; // 2001-01-01 UTC
    {
        const LocalZone zone("QMT-05:30");
        EXPECT_EQ(textOfValue(referenceDate()), QStringLiteral("2001-01-01 05:30:00 +0530"));
    }
    {
        const LocalZone zone("QMT+03");
        EXPECT_EQ(textOfValue(referenceDate().addMSecs(999)), QStringLiteral("2000-12-31 21:00:00 -0300"));
    }
    {
        const LocalZone zone("UTC0");
        EXPECT_EQ(textOfValue(referenceDate()), QStringLiteral("2001-01-01 00:00:00 +0000"));
    }
    EXPECT_EQ(textOfValue(QDateTime()), QString());
}

// Log lines and copied rows are read by programs as well as people: the user's locale must
// not turn 1.5 into "1,5" in some texts while byte sizes keep their point.
TEST(StreamValueText, NumbersKeepTheirPointInACommaLocale)
{
    const CommaNumericLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "needs localedef and its UTF-8 character map (Debian: locales) to build a decimal-comma locale";
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 1.5);
    ASSERT_STREQ(printed, "1,5") << "the comma locale is not in effect";

    EXPECT_EQ(textOfValue(0.5), QStringLiteral("0.5"));
    EXPECT_EQ(textOfValue(1e20), QStringLiteral("1e+20"));
    Clock::freezeAt(1000.0);
    const auto stream
        = Stream::streamWithSource(endpointAt("10.0.0.1", 1), endpointAt("10.0.0.2", 2), QStringLiteral("TCP"), false);
    stream->addUpBytes(3072);
    Clock::advance(2.0);
    EXPECT_EQ(stream->upSpeed(), QStringLiteral("1.5k/sec"));
    EXPECT_EQ(stream->lifetimeUpSpeed(), QStringLiteral("1.5k/sec"));
    EXPECT_EQ(stream->lifetimeUpDataBytesFormatted(), QStringLiteral("0.0B"));
    Clock::useSystemTime();
}
