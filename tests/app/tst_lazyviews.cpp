// The views as a part loaded on first show and let go after: Qt Quick is
// mapped only from the first show, the views go some time after the last
// one was hidden, and what they remember comes back with them.
#include "app/ui/LazyPanelViews.h"
#include "app/ui/Palette.h"
#include "app/ui/tray/OldTray.h"
#include "tests/support/ModelRig.h"

#include <QFile>
#include <QGuiApplication>
#include <QLibrary>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

bool mapped(const char *library)
{
    QFile maps(u"/proc/self/maps"_s);
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

QWindow *shownWindow(const QString &title)
{
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && window->title() == title)
            return window;
    }
    return nullptr;
}

} // namespace

class LazyViewsTest : public QObject, SignedOutRig
{
    Q_OBJECT

    Palette palette;
    PanelViewsSetup setup{.model = model, .palette = palette, .settings = settings};

    // Lets go of the views `lazy` holds, as it does after a while unseen.
    static void release(LazyPanelViews &lazy)
    {
        QSignalSpy released(&lazy, &LazyPanelViews::released);
        lazy.setReleaseDelay(20);
        QVERIFY(released.wait(2000));
        QVERIFY(!lazy.views());
        // The windows are deleted, not hidden.
        QTRY_VERIFY(QGuiApplication::topLevelWindows().isEmpty());
    }

private slots:
    void initTestCase() { settings.setValue(u"VeskoWelcomed"_s, true); }

    // Goes first: once loaded, the part stays in the process.
    void quickOnlyFromTheFirstShow()
    {
        LazyPanelViews lazy(setup, QStringLiteral(VESKO_VIEWS_PART));
        QVERIFY(!lazy.showWelcomeIfNeeded()); // welcomed before: nothing to load for it
        QVERIFY(!lazy.views());
        QVERIFY(!mapped("libQt6Quick.so"));
        QVERIFY(!mapped("libQt6Qml.so"));

        lazy.toggleDropDown(QPoint(300, 10));
        QVERIFY(lazy.views());
        QVERIFY(mapped("libQt6Quick.so"));
        QWindow *dropDown = shownWindow(u"Vesko"_s);
        QVERIFY(dropDown);
        QVERIFY(QTest::qWaitForWindowExposed(dropDown));

        // Not while it shows, however short the delay.
        lazy.setReleaseDelay(10);
        QTest::qWait(100);
        QVERIFY(lazy.views());

        lazy.toggleDropDown(QPoint(300, 10));
        QVERIFY(!shownWindow(u"Vesko"_s));
        release(lazy);
        QVERIFY(mapped("libQt6Quick.so")); // kept: Qt Quick is not made to be unloaded

        // And back on the next click.
        lazy.toggleDropDown(QPoint(300, 10));
        QVERIFY(shownWindow(u"Vesko"_s));
        lazy.toggleDropDown(QPoint(300, 10));
    }

    void rememberedAcrossARelease()
    {
        LazyPanelViews lazy(setup, QStringLiteral(VESKO_VIEWS_PART));
        lazy.openPanel();
        QWindow *window = shownWindow(u"Vesko"_s);
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QPoint placed = window->framePosition() + QPoint(37, 23);
        window->setFramePosition(placed);
        window->hide();

        // The drop-down's last point from the host: a null point later drops it there again.
        lazy.toggleDropDown(QPoint(200, 700));
        QWindow *dropDown = shownWindow(u"Vesko"_s);
        QVERIFY(dropDown);
        const QRect droppedAt = dropDown->geometry();
        lazy.toggleDropDown(QPoint());
        release(lazy);

        lazy.openPanel();
        window = shownWindow(u"Vesko"_s);
        QVERIFY(window);
        QCOMPARE(window->framePosition(), placed);
        window->hide();
        lazy.toggleDropDown(QPoint());
        dropDown = shownWindow(u"Vesko"_s);
        QVERIFY(dropDown);
        QCOMPARE(dropDown->geometry(), droppedAt);
        lazy.toggleDropDown(QPoint());
    }

    // The widgets part is only ever opened by the application at start;
    // here it is only checked to load with every symbol bound.
    void oldTrayPartLoads()
    {
        QLibrary part(QStringLiteral(VESKO_OLDTRAY_PART));
        part.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        QVERIFY2(part.resolve(makeWidgetsApplicationSymbol), qPrintable(part.errorString()));
        QVERIFY(part.resolve(makeOldTraySymbol));
    }

    void aMissingPartSaysSoOnce()
    {
        int warnings = 0;
        static int *counter = nullptr;
        counter = &warnings;
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
                if (type == QtWarningMsg && text.contains(u"Cannot load the panel"))
                    ++*counter;
            });
        LazyPanelViews lazy(setup, dir.filePath(u"no-such-part.so"_s));
        lazy.toggleDropDown(QPoint(300, 10));
        lazy.openPanel();
        qInstallMessageHandler(previous);
        QVERIFY(!lazy.views());
        QVERIFY(!lazy.welcomeShowing());
        QCOMPARE(warnings, 1);
    }
};

QTEST_MAIN(LazyViewsTest)
#include "tst_lazyviews.moc"
