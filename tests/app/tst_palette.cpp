// The palette's values in each appearance, and the appearance itself: the
// desktop's preference (a fake colour scheme here), or what pins one.
#include "app/ui/Appearance.h"
#include "app/ui/Palette.h"
#include "tests/support/Fakes.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

using vesko::Appearance;
using vesko::Channel;
using vesko::Palette;

namespace {

// One thing that happens to an appearance: the desktop's preference changes,
// or setOverride() pins one (or unpins, with nothing).
struct Step
{
    enum {
        desktop,
        pin
    } what;
    std::optional<bool> dark;
};

// "#rrggbb" as QColor::HexArgb names it when fully opaque.
QString opaque(const QString &rgb)
{
    return u"#ff"_s + rgb.mid(1);
}

// WCAG 2.1's relative luminance of an sRGB colour.
double luminance(const QColor &color)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// `color` drawn at `opacity` over `under`.
QColor over(const QColor &color, double opacity, const QColor &under)
{
    const auto mix = [&](float top, float bottom) { return opacity * top + (1 - opacity) * bottom; };
    return QColor::fromRgbF(float(mix(color.redF(), under.redF())), float(mix(color.greenF(), under.greenF())),
                            float(mix(color.blueF(), under.blueF())));
}

QList<bool> emitted(const QSignalSpy &spy)
{
    QList<bool> values;
    for (const QList<QVariant> &arguments : spy)
        values.append(arguments.constFirst().toBool());
    return values;
}

} // namespace

Q_DECLARE_METATYPE(Step)

class PaletteTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qunsetenv("VESKO_APPEARANCE"); }

    // Read the way a view reads them: by property name.
    void colors_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("light");
        QTest::addColumn<QString>("dark");
        const std::tuple<const char *, const char *, const char *> table[] = {
            {"brandBlue", "#2340ff", "#2340ff"},       {"navy", "#15134f", "#15134f"},
            {"brandPink", "#ff7daa", "#ff7daa"},       {"mint", "#a6ebd8", "#a6ebd8"},
            {"lavender", "#cdb8ee", "#cdb8ee"},        {"coral", "#ff9c8e", "#ff9c8e"},
            {"panelBackground", "#fbf7f4", "#15134f"}, {"cardSurface", "#ffffff", "#201e66"},
            {"hairline", "#e6ded9", "#38367f"},        {"mutedText", "#4a4978", "#c3c1e6"},
            {"barTrack", "#efe8e3", "#2e2c75"},        {"ink", "#15134f", "#ffffff"},
            {"accent", "#2340ff", "#8f9eff"},
        };
        for (const auto &[name, light, dark] : table)
            QTest::newRow(name) << QByteArray(name) << QString::fromLatin1(light) << QString::fromLatin1(dark);
    }
    void colors()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, light);
        QFETCH(QString, dark);
        Palette palette;
        for (const auto &[isDark, expected] : {std::pair{false, light}, std::pair{true, dark}}) {
            palette.setDark(isDark);
            const QColor color = palette.property(name.constData()).value<QColor>();
            QCOMPARE(color.spec(), QColor::Rgb);
            QCOMPARE(color.name(QColor::HexArgb), opaque(expected));
        }
    }

    void channelColors_data()
    {
        QTest::addColumn<Channel>("channel");
        QTest::addColumn<QString>("light");
        QTest::addColumn<QString>("dark");
        const std::tuple<Channel, const char *, const char *> table[] = {
            {Channel::web, "#2340ff", "#4f74ff"},       {Channel::appStore, "#a873f5", "#c468db"},
            {Channel::playStore, "#0fa888", "#22a686"}, {Channel::amazon, "#d97706", "#f59e0b"},
            {Channel::rcBilling, "#db2777", "#f472b6"}, {Channel::paddle, "#0891b2", "#22d3ee"},
            {Channel::other, "#6b6a8f", "#a3a2c7"},
        };
        for (const auto &[channel, light, dark] : table)
            QTest::newRow(qPrintable(channel.rawValue()))
                << channel << QString::fromLatin1(light) << QString::fromLatin1(dark);
    }
    void channelColors()
    {
        QFETCH(Channel, channel);
        QFETCH(QString, light);
        QFETCH(QString, dark);
        Palette palette;
        QCOMPARE(palette.channelColor(channel).name(QColor::HexArgb), opaque(light));
        palette.setDark(true);
        QCOMPARE(palette.channelColor(channel).name(QColor::HexArgb), opaque(dark));
    }

    // Every text and background the views pair, in both appearances, against
    // WCAG 2.1 AA: 4.5:1 for text, 3:1 for the focus ring against what it
    // surrounds. "white" is the hero's and the filled button's text.
    void contrast_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("background");
        QTest::addColumn<double>("opacity");
        QTest::addColumn<double>("minimum");
        const std::tuple<const char *, const char *, double, double> table[] = {
            // Body text on the panel, the cards and the menu's highlight.
            {"ink", "panelBackground", 1, 4.5},
            {"ink", "cardSurface", 1, 4.5},
            {"ink", "barTrack", 1, 4.5},
            {"mutedText", "panelBackground", 1, 4.5},
            {"mutedText", "cardSurface", 1, 4.5},
            // Notes in the menu and the disabled button's title.
            {"mutedText", "barTrack", 1, 4.5},
            {"accent", "panelBackground", 1, 4.5}, // links
            // The hero's lines and the filled button.
            {"white", "brandBlue", 1, 4.5},
            {"white", "brandBlue", 0.9, 4.5},
            // The badges and the growth pill.
            {"navy", "mint", 1, 4.5},
            {"navy", "lavender", 1, 4.5},
            {"navy", "coral", 1, 4.5},
            // The focus ring.
            {"accent", "cardSurface", 1, 3},
            {"accent", "barTrack", 1, 3},
        };
        for (const auto &[text, background, opacity, minimum] : table)
            QTest::addRow("%s %g on %s", text, opacity, background)
                << QByteArray(text) << QByteArray(background) << opacity << minimum;
    }
    void contrast()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, background);
        QFETCH(double, opacity);
        QFETCH(double, minimum);
        Palette palette;
        for (const bool dark : {false, true}) {
            palette.setDark(dark);
            const auto color = [&](const QByteArray &name) {
                return name == "white" ? QColor(Qt::white) : palette.property(name.constData()).value<QColor>();
            };
            const QColor under = color(background);
            const double ratio = contrastRatio(over(color(text), opacity, under), under);
            if (ratio < minimum)
                QFAIL(qPrintable(u"%1 appearance: %2:1, below %3:1"_s.arg(dark ? u"dark"_s : u"light"_s)
                                     .arg(ratio, 0, 'f', 2)
                                     .arg(minimum)));
        }
    }

    void paletteFollowsAppearance()
    {
        FakeColorScheme desktop;
        Appearance appearance(desktop);
        Palette palette;
        palette.follow(appearance);
        QSignalSpy changed(&palette, &Palette::darkChanged);
        appearance.setOverride(true);
        QCOMPARE(palette.property("ink").value<QColor>(), QColor(Qt::white));
        appearance.setOverride(true);
        appearance.setOverride(std::nullopt); // the desktop is light
        desktop.prefer(true);
        QCOMPARE(emitted(changed), (QList<bool>{true, false, true}));
        QCOMPARE(palette.ink(), QColor(Qt::white));
    }

    // darkChanged only when isDark() flips, whichever side moved it.
    void appearance_data()
    {
        QTest::addColumn<bool>("desktopDark");
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<bool>("darkAtStart");
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QList<bool>>("flips");
        using Steps = QList<Step>;
        using Flips = QList<bool>;
        QTest::newRow("desktop dark at start") << true << QByteArray() << true << Steps{} << Flips{};
        QTest::newRow("pinned dark") << false << QByteArray("dark") << true << Steps{} << Flips{};
        QTest::newRow("pinned light") << true << QByteArray("light") << false << Steps{} << Flips{};
        QTest::newRow("anything else: the desktop's") << true << QByteArray("Dark") << true << Steps{} << Flips{};
        QTest::newRow("follows the desktop")
            << false << QByteArray() << false << Steps{{Step::desktop, true}, {Step::desktop, false}}
            << Flips{true, false};
        QTest::newRow("a pin hides the desktop")
            << false << QByteArray() << false
            << Steps{{Step::pin, true}, {Step::desktop, true}, {Step::desktop, false}, {Step::pin, std::nullopt}}
            << Flips{true, false};
        QTest::newRow("unpinned onto a desktop that moved")
            << false << QByteArray("light") << false
            << Steps{{Step::desktop, true}, {Step::pin, std::nullopt}, {Step::pin, false}} << Flips{true, false};
        QTest::newRow("the same pin again")
            << false << QByteArray() << false << Steps{{Step::pin, true}, {Step::pin, true}} << Flips{true};
    }
    void appearance()
    {
        QFETCH(bool, desktopDark);
        QFETCH(QByteArray, environment);
        QFETCH(QList<Step>, steps);
        FakeColorScheme desktop;
        desktop.dark = desktopDark;
        qputenv("VESKO_APPEARANCE", environment);
        Appearance appearance(desktop);
        qunsetenv("VESKO_APPEARANCE");
        QTEST(appearance.isDark(), "darkAtStart");
        QSignalSpy spy(&appearance, &Appearance::darkChanged);
        for (const Step &step : steps) {
            if (step.what == Step::desktop)
                desktop.prefer(*step.dark);
            else
                appearance.setOverride(step.dark);
        }
        QTEST(emitted(spy), "flips");
        if (!spy.isEmpty())
            QCOMPARE(appearance.isDark(), spy.constLast().constFirst().toBool());
    }
};

QTEST_MAIN(PaletteTest)
#include "tst_palette.moc"
