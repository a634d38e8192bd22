#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrlQuery>

#include <optional>

QT_BEGIN_NAMESPACE
class QHttpServerRequest;
QT_END_NAMESPACE

namespace vesko::devservice {

// What the service needs of one request, copied out of Qt's parser so that it
// can outlive the call that delivered it.
struct IncomingRequest
{
    QByteArray method;
    QString path; // without the leading "/" and any trailing one
    QString rawQuery;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QHostAddress peer;
    QDateTime receivedAt;

    static IncomingRequest from(const QHttpServerRequest &request, const QDateTime &receivedAt);

    QString queryItem(const QString &name) const;
    bool hasQueryItem(const QString &name) const;
    // Case-insensitive, as header names are.
    QByteArray header(const QByteArray &name) const;
    // The token of an "Authorization: Bearer <token>" header, if there is one.
    std::optional<QString> bearerToken() const;
    // An application/x-www-form-urlencoded body.
    QUrlQuery form() const;
    bool wantsClose() const;
};

} // namespace vesko::devservice
