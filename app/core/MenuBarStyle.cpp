#include "MenuBarStyle.h"

namespace vesko {

QString rawValue(MenuBarStyle style)
{
    switch (style) {
    case MenuBarStyle::both:
        return QStringLiteral("both");
    case MenuBarStyle::amount:
        return QStringLiteral("amount");
    case MenuBarStyle::snout:
        return QStringLiteral("snout");
    }
    return {};
}

std::optional<MenuBarStyle> menuBarStyleFromRaw(QStringView raw)
{
    for (MenuBarStyle style : {MenuBarStyle::both, MenuBarStyle::amount, MenuBarStyle::snout}) {
        if (raw == rawValue(style))
            return style;
    }
    return std::nullopt;
}

} // namespace vesko
