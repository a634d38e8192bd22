// The computer's name, from a fake hostnamed on a throwaway system bus; and,
// in the _no_bus run, without any system bus.
#include "app/linux/SystemHostName.h"
#include "tests/support/ThrowawaySystemBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QTest>

#include <future>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

// hostnamed: answers GetAll with `answer`, or never when that is null.
struct FakeHostnamed : QDBusVirtualObject
{
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &call, const QDBusConnection &bus) override
    {
        const bool getAll = call.interface() == u"org.freedesktop.DBus.Properties" && call.member() == u"GetAll"
                            && call.arguments() == QVariantList{u"org.freedesktop.hostname1"_s};
        if (!answer.isNull())
            bus.send(getAll ? call.createReply(answer) : call.createErrorReply(QDBusError::UnknownMethod, {}));
        return true;
    }
    QVariant answer;
};

class HostNameTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_bus.start());
        qDBusRegisterMetaType<QMap<QString, QString>>();
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SystemBus, u"hostnamed"_s);
        QVERIFY(ThrowawaySystemBus::absent()
                || bus.registerVirtualObject(u"/org/freedesktop/hostname1"_s, &m_hostnamed));
        QVERIFY(ThrowawaySystemBus::absent() || bus.registerService(u"org.freedesktop.hostname1"_s));
    }

    void name_data()
    {
        QTest::addColumn<QVariant>("answer");  // null: hostnamed never answers
        QTest::addColumn<QString>("expected"); // the kernel's name is "box"
        const auto names = [](const QVariant &pretty, const QString &stat, const QString &transient) {
            return QVariant(
                QVariantMap{{u"PrettyHostname"_s, pretty}, {u"StaticHostname"_s, stat}, {u"Hostname"_s, transient}});
        };
        QTest::newRow("pretty") << names(u"Jane’s Laptop"_s, u"janes-laptop"_s, u"dhcp-12"_s) << u"Jane’s Laptop"_s;
        QTest::newRow("pretty localhost is the user's")
            << names(u"localhost"_s, u"janes-laptop"_s, u""_s) << "localhost";
        QTest::newRow("blank pretty: static") << names(u" \t"_s, u"janes-laptop"_s, u"dhcp-12"_s) << "janes-laptop";
        QTest::newRow("pretty not a string") << names(42, u"janes-laptop"_s, u"dhcp-12"_s) << "janes-laptop";
        QTest::newRow("static localhost: transient") << names(u""_s, u"localhost"_s, u"dhcp-12"_s) << "dhcp-12";
        QTest::newRow("localhosts: kernel") << names(u""_s, u"LOCALHOST.localdomain."_s, u"box.localhost"_s) << "box";
        QTest::newRow("not a{sv}") << QVariant::fromValue(QMap<QString, QString>{{u"PrettyHostname"_s, u"Jane"_s}})
                                   << "box";
        QTest::newRow("never answers") << QVariant() << "box";
    }
    void name()
    {
        QFETCH(QVariant, answer);
        QFETCH(QString, expected);
        m_hostnamed.answer = answer;
        // Asked from another thread: the call blocks, and this one plays hostnamed.
        auto name = std::async(std::launch::async,
                               [] { return vesko::SystemHostName(300ms, [] { return u"box"_s; }).userVisibleName(); });
        QVERIFY2(QTest::qWaitFor([&] { return name.wait_for(0s) == std::future_status::ready; }, 2000),
                 "waited too long");
        QCOMPARE(name.get(), expected);
    }

    void withoutBus()
    {
        if (!ThrowawaySystemBus::absent())
            QSKIP("for the _no_bus run");
        QVERIFY(!QDBusConnection::systemBus().isConnected());
        QCOMPARE(vesko::SystemHostName(300ms, [] { return u"box"_s; }).userVisibleName(), u"box"_s);
        QCOMPARE(vesko::SystemHostName(300ms, [] { return u"localhost"_s; }).userVisibleName(), QString());
    }

private:
    ThrowawaySystemBus m_bus;
    FakeHostnamed m_hostnamed;
};

QTEST_GUILESS_MAIN(HostNameTest)
#include "tst_hostname.moc"
