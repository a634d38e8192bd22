// Every service record read from the wire: field mapping, presence rules,
// channels and kinds, and identity.
#include "kit/DataEnvelope.h"
#include "kit/Me.h"
#include "kit/Summary.h"
#include "kit/VeskoEvent.h"
#include "tests/support/Fixtures.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace vesko;
using Reason = DecodingError::Reason;

Q_DECLARE_METATYPE(DecodingError::Reason)
Q_DECLARE_METATYPE(QJsonValue)

namespace {

const QDateTime synced = QDateTime::fromSecsSinceEpoch(1772357400, Qt::UTC); // 2026-03-01T09:30:00Z

const QJsonValue missing = QJsonValue(QJsonValue::Undefined);

// The object with `key` set to `value`, or removed when `value` is undefined.
QJsonObject with(QJsonObject object, const QString &key, const QJsonValue &value)
{
    if (value.isUndefined())
        object.remove(key);
    else
        object[key] = value;
    return object;
}

template <typename T>
std::optional<DecodingError> errorOf(const QByteArray &body)
{
    try {
        decodeData<T>(body);
        return std::nullopt;
    } catch (const DecodingError &error) {
        return error;
    }
}

} // namespace

class RecordsTest : public QObject
{
    Q_OBJECT

private slots:
    void summaryMapsEveryField()
    {
        const Summary expected(Summary::Fields{
            .currency = u"USD"_s,
            .mrr = 1234567,
            .arr = 14814804,
            .active = 312,
            .new_ = 14,
            .cancelled = 3,
            .growth = 12.4,
            .ending = 4999,
            .byChannel = {ChannelAmount(Channel::web, 800000), ChannelAmount(Channel::appStore, 434567)},
            .byProject = {ProjectAmount(u"p1"_s, u"Snoutly"_s, u"#2340FF"_s, 1234567)},
            .hasSources = true,
            .incomplete = false,
            .lastSyncedAt = synced});
        QCOMPARE(decodeData<Summary>(fixtures::envelope(fixtures::summary())), expected);

        // Camel-case wire keys reach the same fields.
        QJsonObject camel = fixtures::summary();
        for (const char *snake : {"by_channel", "by_project", "has_sources", "last_synced_at"}) {
            const QString key = QString::fromLatin1(snake);
            const QJsonValue value = camel.take(key);
            camel[QString(key)
                      .replace(u"_c"_s, u"C"_s)
                      .replace(u"_p"_s, u"P"_s)
                      .replace(u"_s"_s, u"S"_s)
                      .replace(u"_a"_s, u"A"_s)] = value;
        }
        QCOMPARE(decodeData<Summary>(fixtures::envelope(camel)), expected);
    }

    void summaryPresence_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<Reason>("reason");
        QTest::addColumn<QString>("path");
        QTest::newRow("growth missing") << "growth" << missing << true << Reason{} << "";
        QTest::newRow("growth null") << "growth" << QJsonValue() << true << Reason{} << "";
        QTest::newRow("synced missing") << "last_synced_at" << missing << true << Reason{} << "";
        QTest::newRow("channels empty") << "by_channel" << QJsonValue(QJsonArray()) << true << Reason{} << "";
        QTest::newRow("channels missing")
            << "by_channel" << missing << false << Reason::keyNotFound << "data.byChannel";
        QTest::newRow("channels null") << "by_channel" << QJsonValue() << false << Reason::valueNotFound
                                       << "data.byChannel";
        QTest::newRow("mrr missing") << "mrr" << missing << false << Reason::keyNotFound << "data.mrr";
        QTest::newRow("mrr fraction") << "mrr" << QJsonValue(1999.5) << false << Reason::typeMismatch << "data.mrr";
        QTest::newRow("currency number") << "currency" << QJsonValue(840) << false << Reason::typeMismatch
                                         << "data.currency";
    }
    void summaryPresence()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(bool, decodes);
        QFETCH(Reason, reason);
        QFETCH(QString, path);
        const QByteArray body = fixtures::envelope(with(fixtures::summary(), key, value));
        if (decodes) {
            const Summary summary = decodeData<Summary>(body);
            if (key == u"growth"_s)
                QVERIFY(!summary.growth());
            if (key == u"last_synced_at"_s)
                QVERIFY(!summary.lastSyncedAt());
            if (key == u"by_channel"_s)
                QVERIFY(summary.byChannel().isEmpty());
            return;
        }
        const std::optional<DecodingError> error = errorOf<Summary>(body);
        QVERIFY(error);
        QCOMPARE(error->reason(), reason);
        QCOMPARE(error->path(), path);
    }

    void channels_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("source");
        QTest::newRow("web") << "web" << int(Channel::web) << "Web"
                             << "Stripe";
        QTest::newRow("app_store") << "app_store" << int(Channel::appStore) << "App Store"
                                   << "RevenueCat";
        QTest::newRow("play_store") << "play_store" << int(Channel::playStore) << "Play Store"
                                    << "RevenueCat";
        QTest::newRow("amazon") << "amazon" << int(Channel::amazon) << "Amazon"
                                << "RevenueCat";
        QTest::newRow("rc_billing") << "rc_billing" << int(Channel::rcBilling) << "Web Billing"
                                    << "RevenueCat";
        QTest::newRow("paddle") << "paddle" << int(Channel::paddle) << "Paddle"
                                << "RevenueCat";
        QTest::newRow("other") << "other" << int(Channel::other) << "Other"
                               << "RevenueCat";
    }
    void channels()
    {
        QFETCH(QString, raw);
        QFETCH(int, channel);
        QFETCH(QString, label);
        QFETCH(QString, source);
        const Channel c(static_cast<Channel::Value>(channel));
        QCOMPARE(c.rawValue(), raw);
        QCOMPARE(c.label(), label);
        QCOMPARE(c.source(), source);
        QCOMPARE(Channel::fromRawValue(raw), c);
        const ChannelAmount amount =
            decodeData<ChannelAmount>(fixtures::envelope(QJsonObject{{u"channel"_s, raw}, {u"mrr"_s, 1}}));
        QCOMPARE(amount.channel(), c);
        QCOMPARE(amount.id(), raw);
    }

    void unknownChannels_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::newRow("letter case") << "App_Store";
        QTest::newRow("hyphen") << "app-store";
        QTest::newRow("camel case") << "appStore";
        QTest::newRow("empty") << "";
        QTest::newRow("new channel") << "galaxy_store";
    }
    void unknownChannels()
    {
        QFETCH(QString, raw);
        QVERIFY(!Channel::fromRawValue(raw));
        const ChannelAmount amount =
            decodeData<ChannelAmount>(fixtures::envelope(QJsonObject{{u"channel"_s, raw}, {u"mrr"_s, 1}}));
        QCOMPARE(amount.channel(), Channel::other);
        QCOMPARE(amount.id(), u"other"_s);
    }

    void channelMustBeAString()
    {
        const std::optional<DecodingError> error =
            errorOf<ChannelAmount>(fixtures::envelope(QJsonObject{{u"channel"_s, 3}, {u"mrr"_s, 1}}));
        QVERIFY(error);
        QCOMPARE(error->reason(), Reason::typeMismatch);
        QCOMPARE(error->path(), u"data.channel"_s);
    }

    void eventMapsEveryField()
    {
        const VeskoEvent expected(VeskoEvent::Fields{.id = u"ev_1"_s,
                                                     .kind = VeskoEvent::Kind::new_,
                                                     .channel = Channel::playStore,
                                                     .occurredAt = synced,
                                                     .amount = 999,
                                                     .currency = u"EUR"_s,
                                                     .interval = u"month"_s,
                                                     .planName = u"Pro"_s,
                                                     .customerLabel = u"ada@example.com"_s,
                                                     .project = VeskoEvent::ProjectRef(u"p1"_s, u"Snoutly"_s)});
        const QList<VeskoEvent> events =
            decodeData<QList<VeskoEvent>>(fixtures::envelope(QJsonArray{fixtures::event()}));
        QCOMPARE(events, QList<VeskoEvent>{expected});
        // The same instant written in UTC.
        QCOMPARE(decodeData<VeskoEvent>(
                     fixtures::envelope(with(fixtures::event(), u"occurred_at"_s, u"2026-03-01T09:30:00Z"_s))),
                 expected);
    }

    void eventOptionals()
    {
        QJsonObject bare = fixtures::event();
        for (const char *key : {"amount", "interval", "plan_name", "customer_label"})
            bare.remove(QString::fromLatin1(key));
        const VeskoEvent event = decodeData<VeskoEvent>(fixtures::envelope(bare));
        QVERIFY(!event.amount() && !event.interval() && !event.planName() && !event.customerLabel());
        QCOMPARE(event.currency(), u"EUR"_s);
    }

    void eventsFailAsAWhole_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<Reason>("reason");
        QTest::addColumn<QString>("path");
        QTest::newRow("unknown kind") << u"kind"_s << QJsonValue(u"renewed"_s) << Reason::dataCorrupted
                                      << u"data[2].kind"_s;
        QTest::newRow("kind not a string") << "kind" << QJsonValue(1) << Reason::typeMismatch << "data[2].kind";
        QTest::newRow("no currency") << "currency" << missing << Reason::keyNotFound << "data[2].currency";
        QTest::newRow("amount with cents fraction")
            << "amount" << QJsonValue(9.99) << Reason::typeMismatch << "data[2].amount";
        QTest::newRow("time with fraction") << u"occurred_at"_s << QJsonValue(u"2026-03-01T09:30:00.000Z"_s)
                                            << Reason::dataCorrupted << u"data[2].occurredAt"_s;
        QTest::newRow("project without name") << u"project"_s << QJsonValue(QJsonObject{{u"id"_s, u"p1"_s}})
                                              << Reason::keyNotFound << u"data[2].project.name"_s;
    }
    void eventsFailAsAWhole()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(Reason, reason);
        QFETCH(QString, path);
        const QJsonArray list{fixtures::event(u"a"_s), fixtures::event(u"b"_s),
                              with(fixtures::event(u"c"_s), key, value), fixtures::event(u"d"_s)};
        const std::optional<DecodingError> error = errorOf<QList<VeskoEvent>>(fixtures::envelope(list));
        QVERIFY(error);
        QCOMPARE(error->reason(), reason);
        QCOMPARE(error->path(), path);
    }

    void unknownKindIsNamedButCut()
    {
        const QString huge(100000, u'k');
        const std::optional<DecodingError> error =
            errorOf<VeskoEvent>(fixtures::envelope(with(fixtures::event(), u"kind"_s, huge)));
        QVERIFY(error);
        QVERIFY(error->message().contains(u"kkkk"_s));
        QVERIFY(error->message().size() < 200);
        // Cut where a character outside the BMP straddles the limit: no half of it stays.
        const QString grin = u"\U0001F600"_s;
        for (const QString &odd : {QString(u'k') + grin.repeated(50), grin.repeated(50)}) {
            const std::optional<DecodingError> cut =
                errorOf<VeskoEvent>(fixtures::envelope(with(fixtures::event(), u"kind"_s, odd)));
            QVERIFY(cut);
            QVERIFY2(cut->message().isValidUtf16(), qPrintable(cut->message()));
        }
    }

    void kinds()
    {
        using Kind = VeskoEvent::Kind;
        for (const Kind kind : {Kind(Kind::new_), Kind(Kind::cancelled), Kind(Kind::reactivated)}) {
            QCOMPARE(Kind::fromRawValue(kind.rawValue()), kind);
            const QJsonObject json = with(fixtures::event(), u"kind"_s, kind.rawValue());
            QCOMPARE(decodeData<VeskoEvent>(fixtures::envelope(json)).kind(), kind);
        }
        QCOMPARE(Kind(Kind::new_).rawValue(), u"new"_s);
    }

    void me_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("as sent") << u"id"_s << QJsonValue(u"u1"_s) << true;
        QTest::newRow("email null") << "email" << QJsonValue() << true;
        QTest::newRow("email not a string") << "email" << QJsonValue(false) << false;
        QTest::newRow("sound missing") << "sound" << missing << false;
        QTest::newRow("flag as string") << u"notify_cancellations"_s << QJsonValue(u"true"_s) << false;
    }
    void me()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(bool, decodes);
        const QByteArray body = fixtures::envelope(with(fixtures::me(), key, value));
        if (!decodes) {
            QVERIFY(errorOf<Me>(body));
            return;
        }
        const Me me = decodeData<Me>(body);
        const bool hasEmail = key != u"email"_s;
        const Me expected(Me::Fields{.id = u"u1"_s,
                                     .name = u"Ada"_s,
                                     .email = hasEmail ? std::optional<QString>(u"ada@example.com"_s) : std::nullopt,
                                     .currency = u"USD"_s,
                                     .sound = u"default"_s,
                                     .notifyCancellations = true,
                                     .countEndingSubscriptions = false});
        QCOMPARE(me, expected);
    }

    void equality()
    {
        const Summary a = decodeData<Summary>(fixtures::envelope(fixtures::summary()));
        QCOMPARE(a, decodeData<Summary>(fixtures::envelope(fixtures::summary())));
        for (const char *key : {"mrr", "ending", "growth"}) {
            const QJsonObject changed = with(fixtures::summary(), QString::fromLatin1(key), 7);
            QVERIFY2(!(a == decodeData<Summary>(fixtures::envelope(changed))), key);
        }
        QVERIFY(!(a == decodeData<Summary>(fixtures::envelope(with(fixtures::summary(), u"growth"_s, missing)))));
        QCOMPARE(ChannelAmount(Channel::web, 1), ChannelAmount(Channel::web, 1));
        QVERIFY(!(ChannelAmount(Channel::web, 1) == ChannelAmount(Channel::other, 1)));
        QCOMPARE(qHash(Channel(Channel::paddle)), qHash(Channel::fromRawValue(u"paddle").value()));
    }
};

QTEST_GUILESS_MAIN(RecordsTest)
#include "tst_records.moc"
