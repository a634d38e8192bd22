#include "app/core/CallbackCode.h"

namespace vesko {

std::optional<QString> callbackCode(const QUrl &callback)
{
    if (!callback.isValid() || !callback.hasQuery())
        return std::nullopt;
    // Split by hand: QUrlQuery cannot tell "code" from "code=".
    const QString query = callback.query(QUrl::FullyEncoded);
    for (QStringView item : QStringView(query).split(u'&')) {
        const qsizetype equals = item.indexOf(u'=');
        const QStringView name = equals < 0 ? item : item.first(equals);
        if (QUrl::fromPercentEncoding(name.toUtf8()) != u"code")
            continue;
        if (equals < 0)
            return std::nullopt;
        return QUrl::fromPercentEncoding(item.sliced(equals + 1).toUtf8());
    }
    return std::nullopt;
}

} // namespace vesko
