// Money and age texts, byte for byte. Runs a second time under a German
// locale through CTest: the texts must not change.
#include "kit/Money.h"
#include "kit/TimeAgo.h"

#include <QLocale>
#include <QTest>

#include <clocale>
#include <limits>

using namespace Qt::StringLiterals;

using namespace vesko;

class MoneyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Whatever the process was started with, make the user's locale one
        // that writes "1.234,50 €", so that any leak of it shows.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        std::setlocale(LC_ALL, "");
    }

    void amounts_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<qint64>("amount");
        QTest::addColumn<QString>("currency");
        QTest::addColumn<QString>("text");
        const QString nbsp = u"\u00A0"_s;
        struct Row
        {
            const char *call;
            qint64 amount;
            QString currency;
            QString text;
        };
        const Row rows[] = {
            {"whole", 123456, u"USD"_s, u"$1,235"_s},
            {"whole", 123449, u"USD"_s, u"$1,234"_s},
            {"whole", 150, u"USD"_s, u"$2"_s},
            {"whole", -150, u"USD"_s, u"-$2"_s},
            {"whole", 250, u"USD"_s, u"$3"_s},
            {"whole", -250, u"USD"_s, u"-$3"_s},
            {"whole", 0, u"USD"_s, u"$0"_s},
            {"price", 1999, u"USD"_s, u"$19.99"_s},
            {"price", 2000, u"USD"_s, u"$20"_s},
            {"price", 5, u"USD"_s, u"$0.05"_s},
            {"price", 120050, u"USD"_s, u"$1,200.50"_s},
            {"price", -2000, u"USD"_s, u"-$20"_s},
            {"price", -5, u"USD"_s, u"-$0.05"_s},
            {"price", 123456789012345601, u"USD"_s, u"$1,234,567,890,123,456.01"_s},
            {"compact", 99999, u"USD"_s, u"$1,000"_s},
            {"compact", 100000, u"USD"_s, u"$1K"_s},
            {"compact", 123456, u"USD"_s, u"$1.2K"_s},
            {"compact", 125000, u"USD"_s, u"$1.3K"_s},
            {"compact", 195000, u"USD"_s, u"$2K"_s},
            {"compact", 99999999, u"USD"_s, u"$1,000K"_s},
            {"compact", 100000000, u"USD"_s, u"$1M"_s},
            {"compact", 250000000, u"USD"_s, u"$2.5M"_s},
            {"compact", -123456, u"USD"_s, u"-$1.2K"_s},
            {"compact", -99999, u"USD"_s, u"-$1,000"_s},
            {"compact", -100000, u"USD"_s, u"-$1K"_s},
            {"compact", -125000, u"USD"_s, u"-$1.3K"_s},
            {"compact", -100000000, u"USD"_s, u"-$1M"_s},
            // CLDR symbols and the code fallback.
            {"price", 123450, u"EUR"_s, QString::fromUtf8("\xe2\x82\xac") + u"1,234.50"_s},
            {"whole", 123450, u"GBP"_s, QString::fromUtf8("\xc2\xa3") + u"1,235"_s},
            {"price", 1200, u"CHF"_s, u"CHF"_s + nbsp + u"12"_s},
            {"price", -1250, u"XYZ"_s, u"-XYZ"_s + nbsp + u"12.50"_s},
            {"compact", 123456, u"XYZ"_s, u"XYZ"_s + nbsp + u"1.2K"_s},
            // Not a currency code at all: never guessed from its first letters.
            {"price", 1999, u"EURO"_s, u"EURO"_s + nbsp + u"19.99"_s},
            {"whole", -150, u"$"_s, u"-$"_s + nbsp + u"2"_s},
            {"price", 1999, QString(), u"19.99"_s},
            // The ends of the int64 range.
            {"whole", std::numeric_limits<qint64>::max(), u"USD"_s, u"$92,233,720,368,547,758"_s},
            {"price", std::numeric_limits<qint64>::min(), u"USD"_s, u"-$92,233,720,368,547,758.08"_s},
            {"compact", std::numeric_limits<qint64>::min(), u"USD"_s, u"-$92,233,720,368.5M"_s},
            {"compact", std::numeric_limits<qint64>::max(), u"USD"_s, u"$92,233,720,368.5M"_s},
        };
        for (const Row &row : rows)
            QTest::addRow("%s %lld %s", row.call, row.amount, qPrintable(row.currency))
                << row.call << row.amount << row.currency << row.text;
    }
    void amounts()
    {
        QFETCH(QString, call);
        QFETCH(qint64, amount);
        QFETCH(QString, currency);
        QFETCH(QString, text);
        const QString actual = call == u"whole"_s   ? Money::whole(amount, currency)
                               : call == u"price"_s ? Money::price(amount, currency)
                                                    : Money::compact(amount, currency);
        QCOMPARE(actual, text);
    }

    // Hidden amounts: every amount function, every kind of currency, nesting.
    void masked_data()
    {
        QTest::addColumn<QString>("currency");
        QTest::addColumn<QString>("text");
        QTest::newRow("symbol") << "USD"
                                << "$\u2022\u2022\u2022";
        QTest::newRow("euro") << "EUR"
                              << "\u20AC\u2022\u2022\u2022";
        QTest::newRow("code") << "CHF"
                              << "CHF\u00A0\u2022\u2022\u2022";
        QTest::newRow("unusable code") << "EURO"
                                       << "EURO\u00A0\u2022\u2022\u2022";
    }
    void masked()
    {
        QFETCH(QString, currency);
        QFETCH(QString, text);
        {
            const Money::Mask off(false);
            QVERIFY(!Money::masking());
        }
        {
            const Money::Mask mask;
            QVERIFY(Money::masking());
            for (const qint64 amount :
                 {qint64(0), qint64(-150), qint64(123456789), std::numeric_limits<qint64>::min()}) {
                QCOMPARE(Money::whole(amount, currency), text);
                QCOMPARE(Money::price(amount, currency), text);
                QCOMPARE(Money::compact(amount, currency), text);
            }
            const Money::Mask inner(false); // an inner scope cannot lift an outer mask
            QCOMPARE(Money::price(1999, currency), text);
            QCOMPARE(Money::growth(12.5), u"+13%"_s);
            QVERIFY(Money::masking());
            QCOMPARE(Money::spokenAmount(text), u"hidden"_s);
        }
        QVERIFY(!Money::masking());
        QCOMPARE(Money::spokenAmount(text), text);
        QVERIFY(Money::price(1999, currency).contains(u"19.99"_s));
    }

    void growth_data()
    {
        QTest::addColumn<double>("percent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("12.4") << 12.4 << "+12%"
                              << "up 12%";
        QTest::newRow("12.5") << 12.5 << "+13%"
                              << "up 13%";
        QTest::newRow("-3.5") << -3.5 << "-4%"
                              << "down 4%";
        QTest::newRow("0.4") << 0.4 << "0%"
                             << "unchanged";
        QTest::newRow("-0.4") << -0.4 << "0%"
                              << "unchanged";
        QTest::newRow("0.5") << 0.5 << "+1%"
                             << "up 1%";
        QTest::newRow("-0.5") << -0.5 << "-1%"
                              << "down 1%";
        QTest::newRow("large, no grouping") << 123456.0 << "+123456%"
                                            << "up 123456%";
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "0%"
                             << "unchanged";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "+9223372036854775807%"
                                  << "up 9223372036854775807%";
        QTest::newRow("-infinity") << -std::numeric_limits<double>::infinity() << "-9223372036854775808%"
                                   << "down 9223372036854775808%";
        QTest::newRow("beyond int64") << 1e30 << "+9223372036854775807%"
                                      << "up 9223372036854775807%";
    }
    void growth()
    {
        QFETCH(double, percent);
        QFETCH(QString, text);
        QFETCH(QString, spoken);
        QCOMPARE(Money::growth(percent), text);
        QCOMPARE(Money::spokenGrowth(percent), spoken);
    }

    // Written and spoken ages share their boundaries.
    void timeAgo_data()
    {
        QTest::addColumn<qint64>("secondsAgo");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("spoken");
        struct Row
        {
            const char *name;
            qint64 secondsAgo;
            const char *text;
            const char *spoken;
        };
        const Row rows[] = {
            {"0 s", 0, "just now", "just now"},
            {"29 s", 29, "just now", "just now"},
            {"30 s", 30, "1 min", "1 minute ago"},
            {"90 s", 90, "2 min", "2 minutes ago"},
            {"59 min 29 s", 59 * 60 + 29, "59 min", "59 minutes ago"},
            {"59 min 30 s", 59 * 60 + 30, "1 h", "1 hour ago"},
            {"89 min", qint64(89) * 60, "1 h", "1 hour ago"},
            {"90 min", qint64(90) * 60, "2 h", "2 hours ago"},
            {"1409 min", qint64(1409) * 60, "23 h", "23 hours ago"},
            {"1410 min", qint64(1410) * 60, "1 d", "1 day ago"},
            {"35 h", qint64(35) * 3600, "1 d", "1 day ago"},
            {"36 h", qint64(36) * 3600, "2 d", "2 days ago"},
            {"400 days, no grouping", qint64(400) * 86400, "400 d", "400 days ago"},
            {"10 min in the future", -600, "just now", "just now"},
        };
        for (const Row &row : rows)
            QTest::newRow(row.name) << row.secondsAgo << QString::fromLatin1(row.text)
                                    << QString::fromLatin1(row.spoken);
    }
    void timeAgo()
    {
        QFETCH(qint64, secondsAgo);
        QFETCH(QString, text);
        QFETCH(QString, spoken);
        const QDateTime now = QDateTime::fromSecsSinceEpoch(1772357400, Qt::UTC);
        QCOMPARE(vesko::timeAgo(now.addSecs(-secondsAgo), now), text);
        QCOMPARE(vesko::spokenTimeAgo(now.addSecs(-secondsAgo), now), spoken);
        // Only the instant counts, not the zone it is written in.
        QCOMPARE(vesko::timeAgo(now.addSecs(-secondsAgo).toOffsetFromUtc(7200), now), text);
    }

    void timeAgoInvalid()
    {
        QCOMPARE(vesko::timeAgo(QDateTime(), QDateTime::currentDateTimeUtc()), u"just now"_s);
        QCOMPARE(vesko::spokenTimeAgo(QDateTime(), QDateTime::currentDateTimeUtc()), u"just now"_s);
    }
};

QTEST_GUILESS_MAIN(MoneyTest)
#include "tst_money.moc"
