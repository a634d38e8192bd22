#include "APIError.h"

namespace vesko {

QString APIError::toString() const
{
    switch (m_case) {
    case Case::status:
        return QStringLiteral("status(%1)").arg(m_code);
    case Case::unauthorized:
        return QStringLiteral("unauthorized");
    case Case::offline:
        return QStringLiteral("offline");
    }
    return {};
}

} // namespace vesko
