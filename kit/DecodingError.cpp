#include "DecodingError.h"

namespace vesko {

DecodingError::DecodingError(Reason reason, QString path, QString detail)
    : m_reason(reason),
      m_path(std::move(path)),
      m_detail(std::move(detail)),
      m_what(message().toUtf8())
{}

QString DecodingError::message() const
{
    return m_path.isEmpty() ? m_detail : m_path + QStringLiteral(": ") + m_detail;
}

} // namespace vesko
