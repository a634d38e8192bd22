// The decoder itself: key conversion, dates, integers, and what becomes of
// input that is not what the service should send.
#include "kit/ChannelAmount.h"
#include "kit/DataEnvelope.h"
#include "kit/InternetDateTime.h"
#include "kit/KeyConversion.h"
#include "kit/Me.h"
#include "kit/Summary.h"
#include "tests/support/Fixtures.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace vesko;
using Reason = DecodingError::Reason;

Q_DECLARE_METATYPE(DecodingError::Reason)

class DecodingTest : public QObject
{
    Q_OBJECT

private:
    template <typename T>
    static std::optional<DecodingError> errorOf(const QByteArray &body)
    {
        try {
            decodeData<T>(body);
            return std::nullopt;
        } catch (const DecodingError &error) {
            return error;
        }
    }

private slots:
    void keyConversion_data()
    {
        QTest::addColumn<QString>("wire");
        QTest::addColumn<QString>("field");
        QTest::newRow("snake") << "last_synced_at"
                               << "lastSyncedAt";
        QTest::newRow("camel kept") << "hasSources"
                                    << "hasSources";
        QTest::newRow("no underscore, capitalised") << "HasSources"
                                                    << "HasSources";
        QTest::newRow("single word") << "data"
                                     << "data";
        QTest::newRow("later words lowered") << "URL_VALUE"
                                             << "urlValue";
        QTest::newRow("mixed case words") << "mixed_CASE_word"
                                          << "mixedCaseWord";
        QTest::newRow("leading kept") << "_private_key"
                                      << "_privateKey";
        QTest::newRow("trailing kept") << "trailing_key_"
                                       << "trailingKey_";
        QTest::newRow("both ends") << "__both__ends__"
                                   << "__bothEnds__";
        QTest::newRow("double inner") << "a__b"
                                      << "aB";
        QTest::newRow("leading only, one word") << "_leading"
                                                << "_leading";
        QTest::newRow("digit word") << "x_1st_place"
                                    << "x1stPlace";
        QTest::newRow("only underscores") << "___"
                                          << "___";
        QTest::newRow("empty") << ""
                               << "";
    }
    void keyConversion()
    {
        QFETCH(QString, wire);
        QFETCH(QString, field);
        QCOMPARE(convertFromSnakeCase(wire), field);
    }

    void dates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("epoch");
        const qint64 t = 1772357400; // 2026-03-01T09:30:00Z
        QTest::newRow("utc") << "2026-03-01T09:30:00Z" << true << t;
        QTest::newRow("positive offset") << "2026-03-01T11:30:00+02:00" << true << t;
        QTest::newRow("negative offset with minutes") << "2026-03-01T04:00:00-05:30" << true << t;
        QTest::newRow("minus zero is utc") << "2026-03-01T09:30:00-00:00" << true << t;
        QTest::newRow("offset crosses the date") << "2026-03-02T00:30:00+15:00" << true << t;
        QTest::newRow("leap day") << "2024-02-29T00:00:00Z" << true << qint64(1709164800);
        QTest::newRow("leap century") << "2000-02-29T00:00:00Z" << true << qint64(951782400);
        QTest::newRow("year 0") << "0000-01-01T00:00:00Z" << true << qint64(-62167219200);
        QTest::newRow("year 9999") << "9999-12-31T23:59:59Z" << true << qint64(253402300799);
        QTest::newRow("fraction") << "2026-03-01T09:30:00.5Z" << false << qint64(0);
        QTest::newRow("fraction with offset") << "2026-03-01T09:30:00.000+02:00" << false << qint64(0);
        QTest::newRow("no zone") << "2026-03-01T09:30:00" << false << qint64(0);
        QTest::newRow("space separator") << "2026-03-01 09:30:00Z" << false << qint64(0);
        QTest::newRow("lowercase t") << "2026-03-01t09:30:00Z" << false << qint64(0);
        QTest::newRow("lowercase z") << "2026-03-01T09:30:00z" << false << qint64(0);
        QTest::newRow("offset without colon") << "2026-03-01T09:30:00+0200" << false << qint64(0);
        QTest::newRow("date only") << "2026-03-01" << false << qint64(0);
        QTest::newRow("short month") << "2026-3-01T09:30:00Z " << false << qint64(0);
        QTest::newRow("hour 24") << "2026-03-01T24:00:00Z" << false << qint64(0);
        QTest::newRow("minute 60") << "2026-03-01T09:60:00Z" << false << qint64(0);
        QTest::newRow("leap second") << "2016-12-31T23:59:60Z" << false << qint64(0);
        QTest::newRow("30 February") << "2026-02-30T00:00:00Z" << false << qint64(0);
        QTest::newRow("29 February, common year") << "2023-02-29T00:00:00Z" << false << qint64(0);
        QTest::newRow("29 February, 1900") << "1900-02-29T00:00:00Z" << false << qint64(0);
        QTest::newRow("month 13") << "2026-13-01T00:00:00Z" << false << qint64(0);
        QTest::newRow("day 0") << "2026-01-00T00:00:00Z" << false << qint64(0);
        QTest::newRow("offset minutes 60") << "2026-03-01T09:30:00+01:60" << false << qint64(0);
        QTest::newRow("offset hours 24") << "2026-03-01T09:30:00+24:00" << false << qint64(0);
        QTest::newRow("non-ASCII digits") << QString::fromUtf8("\xef\xbc\x92"
                                                               "026-03-01T09:30:00Z")
                                          << false << qint64(0);
        QTest::newRow("empty") << "" << false << qint64(0);
    }
    void dates()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(qint64, epoch);
        const std::optional<QDateTime> date = parseInternetDateTime(text);
        QCOMPARE(date.has_value(), valid);
        if (valid) {
            QCOMPARE(date->toSecsSinceEpoch(), epoch);
            QCOMPARE(date->timeSpec(), Qt::UTC);
        }
    }

    // Integers arrive through a real record so the whole path is exercised.
    void integers_data()
    {
        QTest::addColumn<QByteArray>("literal");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("value");
        QTest::newRow("whole") << QByteArray("1999") << true << qint64(1999);
        QTest::newRow("zero") << QByteArray("0") << true << qint64(0);
        QTest::newRow("one") << QByteArray("1") << true << qint64(1);
        QTest::newRow("negative") << QByteArray("-2000") << true << qint64(-2000);
        QTest::newRow("whole written with .0") << QByteArray("1999.0") << true << qint64(1999);
        QTest::newRow("exponent") << QByteArray("1e3") << true << qint64(1000);
        QTest::newRow("int64 max") << QByteArray("9223372036854775807") << true << std::numeric_limits<qint64>::max();
        QTest::newRow("int64 min") << QByteArray("-9223372036854775808") << true << std::numeric_limits<qint64>::min();
        QTest::newRow("beyond 2^53, exact") << QByteArray("9007199254740993") << true << qint64(9007199254740993);
        QTest::newRow("int64 max with .0")
            << QByteArray("9223372036854775807.0") << true << std::numeric_limits<qint64>::max();
        QTest::newRow("int64 min with .0")
            << QByteArray("-9223372036854775808.0") << true << std::numeric_limits<qint64>::min();
        QTest::newRow("int64 max by exponent")
            << QByteArray("92233720368547758.07e2") << true << std::numeric_limits<qint64>::max();
        QTest::newRow("beyond 2^53 with .0, exact")
            << QByteArray("9007199254740993.0") << true << qint64(9007199254740993);
        QTest::newRow("negative exponent, whole") << QByteArray("1500e-2") << true << qint64(15);
        QTest::newRow("minus zero") << QByteArray("-0") << true << qint64(0);
        QTest::newRow("zero, huge exponent") << QByteArray("0e99999999999999999999") << true << qint64(0);
        QTest::newRow("fraction") << QByteArray("1999.5") << false << qint64(0);
        QTest::newRow("fraction beyond 2^52") << QByteArray("4503599627370496.5") << false << qint64(0);
        QTest::newRow("fraction by exponent") << QByteArray("15e-1") << false << qint64(0);
        QTest::newRow("tiny") << QByteArray("1e-99999999999999999999") << false << qint64(0);
        QTest::newRow("-2^63 - 1") << QByteArray("-9223372036854775809") << false << qint64(0);
        QTest::newRow("-2^63 - 0.5") << QByteArray("-9223372036854775808.5") << false << qint64(0);
        QTest::newRow("2^64") << QByteArray("18446744073709551616") << false << qint64(0);
        QTest::newRow("1e19") << QByteArray("1e19") << false << qint64(0);
        QTest::newRow("small fraction") << QByteArray("0.5") << false << qint64(0);
        QTest::newRow("2^63") << QByteArray("9223372036854775808") << false << qint64(0);
        QTest::newRow("huge exponent") << QByteArray("1e30") << false << qint64(0);
        QTest::newRow("number as string") << QByteArray("\"1999\"") << false << qint64(0);
        QTest::newRow("boolean") << QByteArray("true") << false << qint64(0);
        QTest::newRow("array") << QByteArray("[1999]") << false << qint64(0);
    }
    void integers()
    {
        QFETCH(QByteArray, literal);
        QFETCH(bool, valid);
        QFETCH(qint64, value);
        const QByteArray body = R"({"data":{"channel":"web","mrr":)" + literal + "}}";
        if (valid) {
            QCOMPARE(decodeData<ChannelAmount>(body).mrr(), value);
        } else {
            const std::optional<DecodingError> error = errorOf<ChannelAmount>(body);
            QVERIFY(error);
            QCOMPARE(error->reason(), Reason::typeMismatch);
            QCOMPARE(error->path(), u"data.mrr"_s);
        }
    }

    // U+FEFF inside a string is a character, wherever it stands: Qt's UTF-8
    // conversion would drop a leading one as a byte order mark.
    void byteOrderMarkIsText_data()
    {
        const QByteArray bom = "\xEF\xBB\xBF";
        const QString mark(QChar(0xFEFF));
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("leading") << bom + "Ada" << mark + u"Ada"_s;
        QTest::newRow("two leading") << bom + bom << mark + mark;
        QTest::newRow("trailing") << "Ada" + bom << u"Ada"_s + mark;
        QTest::newRow("escaped") << QByteArray("\\ufeffAda") << mark + u"Ada"_s;
    }
    void byteOrderMarkIsText()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, expected);
        const QByteArray body = "{\"data\":{\"id\":\"u1\",\"name\":\"" + name
                                + "\",\"currency\":\"USD\",\"sound\":\"default\",\"notify_cancellations\":true,"
                                  "\"count_ending_subscriptions\":false}}";
        QCOMPARE(decodeData<Me>(body).name(), expected);
    }
    // A key that starts with U+FEFF is another key, not the one after it.
    void byteOrderMarkInAKey()
    {
        const QByteArray body =
            "{\"data\":{\"id\":\"u1\",\"\xEF\xBB\xBFname\":\"Ada\",\"currency\":\"USD\","
            "\"sound\":\"default\",\"notify_cancellations\":true,\"count_ending_subscriptions\":false}}";
        const std::optional<DecodingError> error = errorOf<Me>(body);
        QVERIFY2(error, "the marked key was taken for \"name\"");
        QCOMPARE(error->reason(), Reason::keyNotFound);
    }

    // Text that RFC 8259 does not admit, in the places a lenient parser lets it by.
    void strictSyntax_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::newRow("2.") << QByteArray(R"("mrr":2.)");
        QTest::newRow(".5e1") << QByteArray(R"("mrr":.5e1)");
        QTest::newRow("1.e3") << QByteArray(R"("mrr":1.e3)");
        QTest::newRow("leading zero") << QByteArray(R"("mrr":01)");
        QTest::newRow("plus sign") << QByteArray(R"("mrr":+1)");
        QTest::newRow("bare exponent") << QByteArray(R"("mrr":1e)");
        QTest::newRow("overflows a double") << QByteArray(R"("mrr":1e400)");
        QTest::newRow("NaN") << QByteArray(R"("mrr":NaN)");
        QTest::newRow("invalid escape") << QByteArray(R"("channel":"w\xeb")");
        QTest::newRow("short unicode escape") << QByteArray(R"("channel":"\u00e")");
        QTest::newRow("lone high surrogate") << QByteArray(R"("channel":"\ud800")");
        QTest::newRow("lone low surrogate") << QByteArray(R"("channel":"\udc00x")");
        QTest::newRow("raw control character") << QByteArray("\"channel\":\"w\x01"
                                                             "eb\"");
        QTest::newRow("raw tab") << QByteArray("\"channel\":\"w\teb\"");
        QTest::newRow("raw newline in a key") << QByteArray("\"chan\nnel\":\"web\"");
        QTest::newRow("single quotes") << QByteArray("'channel':'web'");
        QTest::newRow("trailing comma") << QByteArray(R"("channel":"web",)");
        QTest::newRow("comment") << QByteArray(R"(/* c */ "channel":"web")");
        QTest::newRow("NUL, then garbage") << QByteArray("\"channel\":\"web\"}}\0{{", 19);
    }
    void strictSyntax()
    {
        QFETCH(QByteArray, member);
        const QByteArray body = R"({"data":{"channel":"web","mrr":1,)" + member + "}}";
        const std::optional<DecodingError> error = errorOf<ChannelAmount>(body);
        QVERIFY2(error, "accepted");
        QCOMPARE(error->reason(), Reason::malformedJson);
        QCOMPARE(error->path(), QString());
        // Says where, and never repeats the body.
        QVERIFY2(error->message().contains(u"byte"), qPrintable(error->message()));
        QVERIFY2(!error->message().contains(QString::fromLatin1(member.right(3))), qPrintable(error->message()));
    }

    void badDocuments_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Reason>("reason");
        QTest::addColumn<QString>("path");
        const QByteArray good = fixtures::envelope(fixtures::summary());
        auto with = [](const QString &key, const QJsonValue &value) {
            QJsonObject s = fixtures::summary();
            s[key] = value;
            return fixtures::envelope(s);
        };
        QByteArray invalidUtf8 = good;
        invalidUtf8.replace("\"USD\"", "\"US\xff\"");

        QTest::newRow("empty body") << QByteArray() << Reason::malformedJson << "";
        QTest::newRow("whitespace") << QByteArray(" \n") << Reason::malformedJson << "";
        QTest::newRow("top-level string") << QByteArray("\"data\"") << Reason::malformedJson << "";
        QTest::newRow("top-level number") << QByteArray("42") << Reason::malformedJson << "";
        QTest::newRow("top-level array") << QByteArray("[{\"data\":{}}]") << Reason::typeMismatch << "";
        QTest::newRow("trailing garbage") << good + " x" << Reason::malformedJson << "";
        QTest::newRow("two documents") << good + good << Reason::malformedJson << "";
        QTest::newRow("truncated") << good.chopped(5) << Reason::malformedJson << "";
        QTest::newRow("invalid UTF-8") << invalidUtf8 << Reason::malformedJson << "";
        QTest::newRow("html error page") << QByteArray("<html>502</html>") << Reason::malformedJson << "";
        QTest::newRow("no data") << QByteArray(R"({"error":"nope"})") << Reason::keyNotFound << "data";
        QTest::newRow("data null") << QByteArray(R"({"data":null})") << Reason::valueNotFound << "data";
        QTest::newRow("data is a list") << QByteArray(R"({"data":[]})") << Reason::typeMismatch << "data";
        QTest::newRow("deeply nested extra member")
            << QByteArray("{\"x\":" + QByteArray(5000, '[') + QByteArray(5000, ']') + ",\"data\":{}}")
            << Reason::malformedJson << "";
        QTest::newRow("amount as string") << with(u"mrr"_s, u"1999"_s) << Reason::typeMismatch << "data.mrr";
        QTest::newRow("list as object") << with(u"by_channel"_s, QJsonObject()) << Reason::typeMismatch
                                        << "data.byChannel";
        QTest::newRow("flag as number") << with(u"has_sources"_s, 1) << Reason::typeMismatch << "data.hasSources";
        QTest::newRow("growth as string") << with(u"growth"_s, u"12.4"_s) << Reason::typeMismatch << "data.growth";
        QTest::newRow("date with fraction")
            << with(u"last_synced_at"_s, u"2026-03-01T09:30:00.123Z"_s) << Reason::dataCorrupted << "data.lastSyncedAt";
        QTest::newRow("date as number") << with(u"last_synced_at"_s, 1772357400) << Reason::typeMismatch
                                        << "data.lastSyncedAt";
        QTest::newRow("nested entry missing its amount")
            << with(u"by_channel"_s, QJsonArray{QJsonObject{{u"channel"_s, u"web"_s}, {u"mrr"_s, 1}},
                                                QJsonObject{{u"channel"_s, u"web"_s}}})
            << Reason::keyNotFound << "data.byChannel[1].mrr";
    }
    void badDocuments()
    {
        QFETCH(QByteArray, body);
        QFETCH(Reason, reason);
        QFETCH(QString, path);
        const std::optional<DecodingError> error = errorOf<Summary>(body);
        QVERIFY2(error, "decoded although it should not");
        QCOMPARE(error->reason(), reason);
        QCOMPARE(error->path(), path);
        QVERIFY(!error->message().isEmpty());
    }

    void tolerated()
    {
        // Unknown members, however big or nested (within the parser's limit), are ignored.
        QJsonObject s = fixtures::summary();
        s[u"note"_s] = QString(qint64{8} * 1024 * 1024, u'x');
        QJsonValue nested = QJsonArray{1};
        for (int i = 0; i < 500; ++i)
            nested = QJsonObject{{u"deeper"_s, nested}};
        s[u"nested"_s] = nested;
        const Summary summary = decodeData<Summary>(fixtures::envelope(s));
        QCOMPARE(summary.mrr(), 1234567);

        // So are numbers no field could take, and 1024 levels of nesting (not 1025).
        QByteArray body = fixtures::envelope(fixtures::summary());
        body.insert(1, R"("big":-99999999999999999999999999e-3,"deep":)" + QByteArray(1023, '[') + QByteArray(1023, ']')
                           + ',');
        QCOMPARE(decodeData<Summary>(body).mrr(), 1234567);
        body.replace(QByteArray(1023, '['), QByteArray(1024, '['))
            .replace(QByteArray(1023, ']'), QByteArray(1024, ']'));
        QVERIFY(errorOf<Summary>(body));
        QCOMPARE(errorOf<Summary>(body)->reason(), Reason::malformedJson);

        // A huge string where a string belongs is kept as it is.
        s[u"currency"_s] = QString(qint64{1024} * 1024, u'Z');
        QCOMPARE(decodeData<Summary>(fixtures::envelope(s)).currency().size(), 1024 * 1024);
    }

    void keysThatConvertToTheSameName()
    {
        // A camel-case key wins over its snake-case twin, whatever their order
        // on the wire; of one key written twice, the last stands.
        struct Flag
        {
            bool hasSources;
            static Flag decode(const json::Value &value) { return {json::Object(value).required<bool>(u"hasSources")}; }
        };
        for (const QByteArray &body :
             {QByteArray(R"({"data":{"has_sources":false,"hasSources":true}})"),
              QByteArray(R"({"data":{"hasSources":true,"has_sources":false}})"),
              QByteArray(R"({"data":{"hasSources":false,"has_sources":false,"hasSources":true}})")})
            QVERIFY2(decodeData<Flag>(body).hasSources, body.constData());
    }
};

QTEST_GUILESS_MAIN(DecodingTest)
#include "tst_decoding.moc"
