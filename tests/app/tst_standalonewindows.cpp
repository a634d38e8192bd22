// The welcome window once per user, and the panel window made once and reused.
#include "app/ui/Palette.h"
#include "app/ui/StandaloneWindows.h"
#include "tests/support/ModelRig.h"

#include <QEventLoop>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

using namespace vesko;

class StandaloneWindowsTest : public QObject, SignedOutRig
{
    Q_OBJECT

    Palette palette;

private slots:
    // A binding that reads nothing (an unregistered type, a missing `Panel`)
    // warns from the module's files: any such warning fails the test.
    void init() { QTest::failOnWarning(QRegularExpression(u"qrc:/vesko/|Vesko\\.Panel"_s)); }
    void welcomeOnceThenPanel()
    {
        StandaloneWindows windows(model, palette, settings);
        windows.showWelcomeIfNeeded();
        QQuickView *welcome = windows.welcomeWindow();
        QVERIFY(welcome && welcome->status() == QQuickView::Ready);
        QVERIFY(QTest::qWaitForWindowExposed(welcome));
        QCOMPARE(welcome->title(), u"Welcome to Vesko"_s);
        QCOMPARE(settings.value(u"VeskoWelcomed"_s).toBool(), true);
        StandaloneWindows again(model, palette, settings);
        again.showWelcomeIfNeeded();
        QVERIFY(!again.welcomeWindow());
        QVERIFY(QTest::qWaitForWindowActive(welcome));
        QTest::keyClick(welcome, Qt::Key_Return);
        QVERIFY(!welcome->isVisible());
        welcome->show();
        QQuickItem *link = welcome->rootObject()->findChild<QQuickItem *>(u"openHereLink"_s);
        QTest::mouseClick(welcome, Qt::LeftButton, {}, link->mapToScene(QPointF(4, 4)).toPoint());
        QVERIFY(!welcome->isVisible());
        QQuickView *window = windows.panelWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->title(), u"Vesko"_s);
        // Frame and all inside the screen, the panel no taller than the room left there.
        const QRect available = window->screen()->availableGeometry();
        QTRY_VERIFY(available.contains(window->frameGeometry()));
        QVERIFY(window->rootObject()->property("maximumHeight").toInt() < available.height());
        windows.openPanel();
        QCOMPARE(windows.panelWindow(), window);
        QVERIFY(window->isVisible());
    }

    // "Quit" in the footer menu ends the event loop although the windows,
    // which only hide when closed, would refuse a QGuiApplication's quit.
    void quitFromTheMenuEndsTheLoop()
    {
        StandaloneWindows windows(model, palette, settings);
        windows.openPanel();
        QQuickView *window = windows.panelWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QEventLoop loop;
        QTimer::singleShot(0, window, [window] { emit window->engine()->quit(); });
        QTimer::singleShot(5000, &loop, [&loop] { loop.exit(7); });
        QCOMPARE(loop.exec(), 0);
    }
};

QTEST_MAIN(StandaloneWindowsTest)
#include "tst_standalonewindows.moc"
