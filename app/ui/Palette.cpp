#include "app/ui/Palette.h"

#include "app/ui/Appearance.h"

namespace vesko {

AdaptiveColor channelColor(Channel channel)
{
    switch (channel.value()) {
    case Channel::web:
        return adaptiveColor(0x2340FF, 0x4F74FF);
    case Channel::appStore:
        return adaptiveColor(0xA873F5, 0xC468DB);
    case Channel::playStore:
        return adaptiveColor(0x0FA888, 0x22A686);
    case Channel::amazon:
        return adaptiveColor(0xD97706, 0xF59E0B);
    case Channel::rcBilling:
        return adaptiveColor(0xDB2777, 0xF472B6);
    case Channel::paddle:
        return adaptiveColor(0x0891B2, 0x22D3EE);
    case Channel::other:
        break;
    }
    return adaptiveColor(0x6B6A8F, 0xA3A2C7);
}

Palette::Palette(QObject *parent)
    : QObject(parent)
{}

void Palette::setDark(bool dark)
{
    if (dark == m_dark)
        return;
    m_dark = dark;
    emit darkChanged(dark);
}

void Palette::follow(const Appearance &appearance)
{
    setDark(appearance.isDark());
    connect(&appearance, &Appearance::darkChanged, this, &Palette::setDark, Qt::UniqueConnection);
}

} // namespace vesko
