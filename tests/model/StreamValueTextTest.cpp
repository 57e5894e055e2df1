#include "model/ValueText.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDateTime>

#include <cstdlib>
#include <ctime>
#include <limits>

namespace {

// Runs a check with the process's local time zone set to a POSIX TZ text.
class LocalZone
{
public:
    explicit LocalZone(const char *zone)
        : saved_(qgetenv("TZ"))
        , hadZone_(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        if (hadZone_)
            qputenv("TZ", saved_);
        else
            qunsetenv("TZ");
        tzset();
    }
    LocalZone(const LocalZone &) = delete;
    LocalZone &operator=(const LocalZone &) = delete;

private:
    QByteArray saved_;
    bool hadZone_;
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
