// Which display platform Vesko asks Qt for, by session.
#include "app/linux/SessionPlatform.h"

#include <QTest>

using namespace Qt::StringLiterals;

using vesko::preferredPlatform;

class SessionPlatformTest : public QObject
{
    Q_OBJECT

private slots:
    void choice_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<QByteArray>("platform");
        const QStringList gnomeWayland{u"XDG_SESSION_TYPE=wayland"_s, u"XDG_CURRENT_DESKTOP=ubuntu:GNOME"_s,
                                       u"DISPLAY=:0"_s};
        QTest::newRow("GNOME on Wayland") << gnomeWayland << QByteArray("xcb");
        QTest::newRow("GNOME on Wayland, no XWayland")
            << QStringList{u"XDG_SESSION_TYPE=wayland"_s, u"XDG_CURRENT_DESKTOP=GNOME"_s} << QByteArray();
        QTest::newRow("the user's own choice")
            << gnomeWayland + QStringList{u"QT_QPA_PLATFORM=wayland"_s} << QByteArray();
        QTest::newRow("GNOME on X11") << QStringList{u"XDG_SESSION_TYPE=x11"_s, u"XDG_CURRENT_DESKTOP=GNOME"_s,
                                                     u"DISPLAY=:0"_s}
                                      << QByteArray();
        QTest::newRow("Plasma on Wayland")
            << QStringList{u"XDG_SESSION_TYPE=wayland"_s, u"XDG_CURRENT_DESKTOP=KDE"_s, u"DISPLAY=:0"_s}
            << QByteArray();
        QTest::newRow("nothing known") << QStringList{} << QByteArray();
    }
    void choice()
    {
        QFETCH(QStringList, variables);
        QFETCH(QByteArray, platform);
        QProcessEnvironment environment(QProcessEnvironment::InheritFromParent);
        environment.clear();
        for (const QString &variable : variables)
            environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        QCOMPARE(preferredPlatform(environment), platform);
    }
};

QTEST_GUILESS_MAIN(SessionPlatformTest)
#include "tst_sessionplatform.moc"
