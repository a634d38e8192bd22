#include "TrayStyle.h"

namespace vesko {

QString rawValue(TrayStyle style)
{
    switch (style) {
    case TrayStyle::both:
        return QStringLiteral("both");
    case TrayStyle::amount:
        return QStringLiteral("amount");
    case TrayStyle::snout:
        return QStringLiteral("snout");
    }
    return {};
}

std::optional<TrayStyle> trayStyleFromRaw(QStringView raw)
{
    for (TrayStyle style : {TrayStyle::both, TrayStyle::amount, TrayStyle::snout}) {
        if (raw == rawValue(style))
            return style;
    }
    return std::nullopt;
}

} // namespace vesko
