#include "RequestLog.h"

#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

void RequestLog::record(const IncomingRequest &request)
{
    if (m_entries.size() >= capacity)
        m_entries.removeFirst();
    m_entries.append(request);
}

void RequestLog::clear()
{
    m_entries.clear();
}

QJsonArray RequestLog::toJson() const
{
    QJsonArray list;
    for (const IncomingRequest &entry : m_entries) {
        QJsonObject headers;
        for (const auto &[name, value] : entry.headers) {
            const QString key = QString::fromLatin1(name);
            const QString text = QString::fromLatin1(value);
            // A repeated header reads as one comma-joined value, as HTTP allows.
            headers.insert(key, headers.contains(key) ? headers.value(key).toString() + u", "_s + text : text);
        }
        list.append(QJsonObject{
            {u"method"_s, QString::fromLatin1(entry.method)},
            {u"path"_s, u'/' + entry.path},
            {u"query"_s, entry.rawQuery},
            {u"headers"_s, headers},
            {u"body"_s, QString::fromUtf8(entry.body)},
            {u"time"_s, entry.receivedAt.toString(Qt::ISODateWithMs)},
        });
    }
    return list;
}

} // namespace vesko::devservice
