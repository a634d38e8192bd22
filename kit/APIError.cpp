#include "kit/APIError.h"

using namespace Qt::StringLiterals;

namespace vesko {

QString APIError::toString() const
{
    switch (m_case) {
    case Case::status:
        return u"status(%1)"_s.arg(m_code);
    case Case::unauthorized:
        return u"unauthorized"_s;
    case Case::offline:
        return u"offline"_s;
    }
    return {};
}

} // namespace vesko
