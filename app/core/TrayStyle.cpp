#include "app/core/TrayStyle.h"

using namespace Qt::StringLiterals;

namespace vesko {

QString rawValue(TrayStyle style)
{
    switch (style) {
    case TrayStyle::both:
        return u"both"_s;
    case TrayStyle::amount:
        return u"amount"_s;
    case TrayStyle::snout:
        return u"snout"_s;
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
