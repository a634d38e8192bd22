#include "app/linux/BootClockTimer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

class BootClockTimerTest : public QObject
{
    Q_OBJECT

private slots:
    void firesOnceAfterItsInterval()
    {
        vesko::BootClockTimer timer;
        QSignalSpy fired(&timer, &vesko::SleepTimer::timeout);
        QElapsedTimer clock;
        clock.start();
        timer.start(80ms);
        QVERIFY(fired.wait(2000));
        QVERIFY2(clock.elapsed() >= 75, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(150);
        QCOMPARE(fired.size(), 1); // one-shot
    }

    void stopAndRestart()
    {
        vesko::BootClockTimer timer;
        QSignalSpy fired(&timer, &vesko::SleepTimer::timeout);
        timer.start(30ms);
        timer.stop();
        QTest::qWait(100);
        QCOMPARE(fired.size(), 0);

        // A restart replaces the pending expiry rather than adding one.
        timer.start(400ms);
        timer.start(20ms);
        QVERIFY(fired.wait(1000));
        QTest::qWait(500);
        QCOMPARE(fired.size(), 1);

        // Due at once still fires, from the event loop.
        timer.start(0ms);
        QCOMPARE(fired.size(), 1);
        QVERIFY(fired.wait(1000));
    }
};

QTEST_GUILESS_MAIN(BootClockTimerTest)
#include "tst_bootclocktimer.moc"
