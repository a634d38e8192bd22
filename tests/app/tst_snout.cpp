// The snout mark's pixels at its own size, at twice it and in the tray; and
// the fonts that ship inside the binary.
#include "app/ui/Fonts.h"
#include "app/ui/Snout.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QTest>

using vesko::snoutImage;

class SnoutTest : public QObject
{
    Q_OBJECT

private slots:
    // Pixels well inside a nostril or well inside the capsule, away from the
    // anti-aliased edges, and the corners outside the round ends.
    void pixels_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<int>("alpha");
        const QSize own(20, 14);
        QTest::newRow("left nostril") << own << 1.0 << QPoint(7, 7) << 0;
        QTest::newRow("left nostril, upper half") << own << 1.0 << QPoint(7, 6) << 0;
        QTest::newRow("right nostril") << own << 1.0 << QPoint(12, 7) << 0;
        QTest::newRow("right nostril, upper half") << own << 1.0 << QPoint(12, 6) << 0;
        QTest::newRow("left end") << own << 1.0 << QPoint(3, 7) << 255;
        QTest::newRow("right end") << own << 1.0 << QPoint(17, 7) << 255;
        QTest::newRow("between the nostrils") << own << 1.0 << QPoint(9, 7) << 255;
        QTest::newRow("between the nostrils, right") << own << 1.0 << QPoint(10, 7) << 255;
        QTest::newRow("above a nostril") << own << 1.0 << QPoint(7, 2) << 255;
        QTest::newRow("below a nostril") << own << 1.0 << QPoint(7, 11) << 255;
        QTest::newRow("top left corner") << own << 1.0 << QPoint(0, 0) << 0;
        QTest::newRow("top right corner") << own << 1.0 << QPoint(19, 0) << 0;
        QTest::newRow("bottom left corner") << own << 1.0 << QPoint(0, 13) << 0;
        QTest::newRow("bottom right corner") << own << 1.0 << QPoint(19, 13) << 0;

        // At 2× the left nostril spans x 11.33 to 17.33 and y 9 to 19.
        for (const auto &[name, size, ratio] : {std::tuple{"2x", own, 2.0}, std::tuple{"40x28", QSize(40, 28), 1.0}}) {
            const auto row = [&, label = name, rowSize = size, rowRatio = ratio](const char *what) -> QTestData & {
                return QTest::addRow("%s %s", label, what) << rowSize << rowRatio;
            };
            row("nostril top inside") << QPoint(14, 10) << 0;
            row("nostril bottom inside") << QPoint(14, 17) << 0;
            row("nostril left inside") << QPoint(12, 13) << 0;
            row("nostril right inside") << QPoint(16, 13) << 0;
            row("above the nostril") << QPoint(14, 8) << 255;
            row("below the nostril") << QPoint(14, 19) << 255;
            row("left of the nostril") << QPoint(10, 13) << 255;
            row("right of the nostril") << QPoint(18, 13) << 255;
            row("right nostril") << QPoint(25, 14) << 0;
            row("between the nostrils") << QPoint(20, 14) << 255;
            row("corner") << QPoint(1, 1) << 0;
        }

        // Counted from the bottom edge as drawn: at 20:20 (u still 1/6) the
        // nostrils span y 10.5 to 15.5 from the top, not 4.5 to 9.5.
        QTest::newRow("square, nostril in the lower half") << QSize(20, 20) << 1.0 << QPoint(7, 13) << 0;
        QTest::newRow("square, none in the upper half") << QSize(20, 20) << 1.0 << QPoint(7, 6) << 255;
    }
    void pixels()
    {
        QFETCH(QSize, size);
        QFETCH(qreal, ratio);
        QFETCH(QPoint, pixel);
        QFETCH(int, alpha);
        const QImage image = snoutImage(size, ratio);
        QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(image.size(), size * ratio);
        QCOMPARE(image.devicePixelRatio(), ratio);
        // Premultiplied black: every channel but alpha stays 0.
        QCOMPARE(image.pixel(pixel), qRgba(0, 0, 0, alpha));
    }

    void tintedKeepsCoverage()
    {
        const QImage mark = snoutImage(QSize(20, 14), 2);
        const QImage blue = vesko::tinted(mark, QColor(0x23, 0x40, 0xff));
        QCOMPARE(blue.devicePixelRatio(), 2.0);
        QCOMPARE(blue.pixel(6, 14), qRgba(0x23, 0x40, 0xff, 255));
        QCOMPARE(blue.pixel(14, 14), 0u);
        for (int y = 0; y < mark.height(); ++y) {
            for (int x = 0; x < mark.width(); ++x)
                QCOMPARE(qAlpha(blue.pixel(x, y)), qAlpha(mark.pixel(x, y)));
        }
    }

    void trayIcon()
    {
        const QIcon icon = vesko::snoutIcon(Qt::white);
        QList<QSize> sizes = icon.availableSizes();
        QCOMPARE(sizes, (QList<QSize>{{23, 16}, {31, 22}, {34, 24}, {46, 32}}));
        const QImage at22 = icon.pixmap(QSize(31, 22)).toImage();
        QCOMPARE(at22.pixel(15, 11), qRgba(255, 255, 255, 255)); // between the nostrils
        QCOMPARE(qAlpha(at22.pixel(0, 0)), 0);
    }

    void invalidSizes_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("empty") << QSize(0, 14) << 1.0;
        QTest::newRow("negative") << QSize(-20, 14) << 1.0;
        QTest::newRow("zero ratio") << QSize(20, 14) << 0.0;
        QTest::newRow("NaN ratio") << QSize(20, 14) << qQNaN();
        QTest::newRow("under a pixel") << QSize(20, 14) << 0.01;
        QTest::newRow("huge ratio") << QSize(20, 14) << 1e12;
    }
    void invalidSizes()
    {
        QFETCH(QSize, size);
        QFETCH(qreal, ratio);
        QVERIFY(snoutImage(size, ratio).isNull());
        QVERIFY(vesko::tinted(snoutImage(size, ratio), Qt::black).isNull());
    }

    // The weights the panel asks for come from the shipped files, not from a
    // synthesised or substituted face.
    void fonts_data()
    {
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("weight");
        QTest::addColumn<QString>("style");
        QTest::newRow("DM Sans regular") << false << 400 << "Regular";
        QTest::newRow("DM Sans medium") << false << 500 << "Medium";
        QTest::newRow("DM Sans bold") << false << 700 << "Bold";
        QTest::newRow("Bricolage Grotesque bold") << true << 700 << "Bold";
        QTest::newRow("Bricolage Grotesque heavy") << true << 800 << "ExtraBold";
    }
    void fonts()
    {
        QFETCH(bool, display);
        QFETCH(int, weight);
        QFETCH(QString, style);
        const vesko::FontFamilies &families = vesko::registerFonts();
        QVERIFY(families.sans.startsWith(u"DM Sans"));
        QVERIFY(families.display.startsWith(u"Bricolage Grotesque"));
        const QString family = display ? families.display : families.sans;
        QVERIFY(QFontDatabase::families().contains(family));
        QFont font(family);
        font.setWeight(QFont::Weight(weight));
        const QFontInfo info(font);
        QCOMPARE(info.family(), family);
        QCOMPARE(info.styleName(), style);
    }
};

QTEST_MAIN(SnoutTest)
#include "tst_snout.moc"
