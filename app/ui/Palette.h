#pragma once

#include "kit/Channel.h"

#include <QColor>
#include <QObject>

namespace vesko {

class Appearance;

// An opaque sRGB colour from 0xRRGGBB.
constexpr QColor srgb(quint32 rgb)
{
    return QColor(int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF));
}

// One value for the light appearance, one for the dark; resolved when drawn.
struct AdaptiveColor
{
    quint32 light;
    quint32 dark;

    constexpr QColor resolved(bool isDark) const { return srgb(isDark ? dark : light); }
    friend constexpr bool operator==(AdaptiveColor, AdaptiveColor) = default;
};

constexpr AdaptiveColor adaptiveColor(quint32 light, quint32 dark)
{
    return {light, dark};
}

namespace colors {

// The same in both appearances.
inline constexpr quint32 brandBlue = 0x2340FF;
inline constexpr quint32 navy = 0x15134F;
inline constexpr quint32 brandPink = 0xFF7DAA;
inline constexpr quint32 mint = 0xA6EBD8;
inline constexpr quint32 lavender = 0xCDB8EE;
inline constexpr quint32 coral = 0xFF9C8E;

inline constexpr AdaptiveColor panelBackground = adaptiveColor(0xFBF7F4, 0x15134F);
inline constexpr AdaptiveColor cardSurface = adaptiveColor(0xFFFFFF, 0x201E66);
inline constexpr AdaptiveColor hairline = adaptiveColor(0xE6DED9, 0x38367F);
inline constexpr AdaptiveColor mutedText = adaptiveColor(0x4A4978, 0xC3C1E6);
inline constexpr AdaptiveColor barTrack = adaptiveColor(0xEFE8E3, 0x2E2C75);
inline constexpr AdaptiveColor ink = adaptiveColor(0x15134F, 0xFFFFFF);
// The drop-down panel's edge, against whatever lies behind it.
inline constexpr AdaptiveColor panelBorder = adaptiveColor(0xCFC4BD, 0x4A48A0);
// Links and the keyboard's focus ring: the brand blue, lightened on the dark
// panel, where the brand blue itself is too dim to read (2.6:1).
inline constexpr AdaptiveColor accent = adaptiveColor(0x2340FF, 0x8F9EFF);

} // namespace colors

AdaptiveColor channelColor(Channel channel);

// The palette resolved against the appearance in force, for the views: every
// adaptive colour changes with `dark`, and says so through darkChanged.
class Palette : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool dark READ isDark NOTIFY darkChanged)

    Q_PROPERTY(QColor brandBlue READ brandBlue CONSTANT)
    Q_PROPERTY(QColor navy READ navy CONSTANT)
    Q_PROPERTY(QColor brandPink READ brandPink CONSTANT)
    Q_PROPERTY(QColor mint READ mint CONSTANT)
    Q_PROPERTY(QColor lavender READ lavender CONSTANT)
    Q_PROPERTY(QColor coral READ coral CONSTANT)

    Q_PROPERTY(QColor panelBackground READ panelBackground NOTIFY darkChanged)
    Q_PROPERTY(QColor cardSurface READ cardSurface NOTIFY darkChanged)
    Q_PROPERTY(QColor hairline READ hairline NOTIFY darkChanged)
    Q_PROPERTY(QColor mutedText READ mutedText NOTIFY darkChanged)
    Q_PROPERTY(QColor barTrack READ barTrack NOTIFY darkChanged)
    Q_PROPERTY(QColor ink READ ink NOTIFY darkChanged)
    Q_PROPERTY(QColor panelBorder READ panelBorder NOTIFY darkChanged)
    Q_PROPERTY(QColor accent READ accent NOTIFY darkChanged)

public:
    explicit Palette(QObject *parent = nullptr);

    bool isDark() const { return m_dark; }
    void setDark(bool dark);
    // Takes the appearance's value now and every time it changes.
    void follow(const Appearance &appearance);

    QColor brandBlue() const { return srgb(colors::brandBlue); }
    QColor navy() const { return srgb(colors::navy); }
    QColor brandPink() const { return srgb(colors::brandPink); }
    QColor mint() const { return srgb(colors::mint); }
    QColor lavender() const { return srgb(colors::lavender); }
    QColor coral() const { return srgb(colors::coral); }

    QColor panelBackground() const { return colors::panelBackground.resolved(m_dark); }
    QColor cardSurface() const { return colors::cardSurface.resolved(m_dark); }
    QColor hairline() const { return colors::hairline.resolved(m_dark); }
    QColor mutedText() const { return colors::mutedText.resolved(m_dark); }
    QColor barTrack() const { return colors::barTrack.resolved(m_dark); }
    QColor ink() const { return colors::ink.resolved(m_dark); }
    QColor panelBorder() const { return colors::panelBorder.resolved(m_dark); }
    QColor accent() const { return colors::accent.resolved(m_dark); }

    QColor channelColor(Channel channel) const { return vesko::channelColor(channel).resolved(m_dark); }

signals:
    void darkChanged(bool dark);

private:
    bool m_dark = false;
};

} // namespace vesko
