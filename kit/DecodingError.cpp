#include "kit/DecodingError.h"

using namespace Qt::StringLiterals;

namespace vesko {

DecodingError::DecodingError(Reason reason, QString path, QString detail)
    : m_reason(reason),
      m_path(std::move(path)),
      m_detail(std::move(detail)),
      m_what(message().toUtf8())
{}

QString DecodingError::message() const
{
    return m_path.isEmpty() ? m_detail : m_path + u": "_s + m_detail;
}

} // namespace vesko
