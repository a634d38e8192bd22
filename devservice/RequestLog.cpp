#include "devservice/RequestLog.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

namespace {

// Members of a JSON body that hold a credential.
const QStringList secretMembers{u"code"_s, u"code_verifier"_s, u"token"_s};

IncomingRequest withoutCredentials(IncomingRequest request)
{
    for (auto &[name, value] : request.headers) {
        if (name.compare("Authorization"_ba, Qt::CaseInsensitive) != 0)
            continue;
        // The scheme stays readable: tests check that a token came as Bearer.
        const qsizetype space = value.indexOf(' ');
        value = space < 0 ? RequestLog::fingerprint(value).toLatin1()
                          : value.left(space + 1) + RequestLog::fingerprint(value.mid(space + 1)).toLatin1();
    }
    QJsonObject body = QJsonDocument::fromJson(request.body).object();
    bool changed = false;
    for (const QString &member : secretMembers) {
        if (body.value(member).isString()) {
            body.insert(member, RequestLog::fingerprint(body.value(member).toString().toUtf8()));
            changed = true;
        }
    }
    if (changed)
        request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    return request;
}

} // namespace

QString RequestLog::fingerprint(const QByteArray &secret)
{
    const QByteArray digest = QCryptographicHash::hash(secret, QCryptographicHash::Sha256);
    return u"sha256:"_s + QString::fromLatin1(digest.first(8).toHex());
}

void RequestLog::record(const IncomingRequest &request)
{
    if (m_entries.size() >= capacity)
        m_entries.removeFirst();
    m_entries.append(withoutCredentials(request));
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
