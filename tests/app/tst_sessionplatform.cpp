// Which display platform Vesko asks Qt for, by session.
#include "SessionPlatform.h"

#include <QTest>

using vesko::preferredPlatform;

class SessionPlatformTest : public QObject
{
    Q_OBJECT

private slots:
    void choice_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<QByteArray>("platform");
        const QStringList gnomeWayland{"XDG_SESSION_TYPE=wayland", "XDG_CURRENT_DESKTOP=ubuntu:GNOME", "DISPLAY=:0"};
        QTest::newRow("GNOME on Wayland") << gnomeWayland << QByteArray("xcb");
        QTest::newRow("GNOME on Wayland, no XWayland")
            << QStringList{"XDG_SESSION_TYPE=wayland", "XDG_CURRENT_DESKTOP=GNOME"} << QByteArray();
        QTest::newRow("the user's own choice") << gnomeWayland + QStringList{"QT_QPA_PLATFORM=wayland"} << QByteArray();
        QTest::newRow("GNOME on X11") << QStringList{"XDG_SESSION_TYPE=x11", "XDG_CURRENT_DESKTOP=GNOME", "DISPLAY=:0"}
                                      << QByteArray();
        QTest::newRow("Plasma on Wayland")
            << QStringList{"XDG_SESSION_TYPE=wayland", "XDG_CURRENT_DESKTOP=KDE", "DISPLAY=:0"} << QByteArray();
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
