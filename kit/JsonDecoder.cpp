#include "JsonDecoder.h"

#include "InternetDateTime.h"
#include "KeyConversion.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace vesko::json {

QString Path::toString() const
{
    QList<const Path *> chain;
    for (const Path *p = this; p && p->m_parent; p = p->m_parent)
        chain.prepend(p);
    QString text;
    for (const Path *p : chain) {
        if (p->m_index >= 0) {
            text += u'[' + QString::number(p->m_index) + u']';
        } else {
            if (!text.isEmpty())
                text += u'.';
            text += p->m_key;
        }
    }
    return text;
}

void Value::fail(DecodingError::Reason reason, const QString &detail) const
{
    throw DecodingError(reason, m_path.toString(), detail);
}

Object::Object(const Value &value) : m_path(value.path())
{
    if (!value.json().isObject())
        value.fail(DecodingError::Reason::typeMismatch, QStringLiteral("expected an object"));
    const QJsonObject object = value.json().toObject();
    m_members.reserve(object.size());
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        m_members.emplace_back(convertFromSnakeCase(it.key()), it.value());
    std::stable_sort(m_members.begin(), m_members.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    m_members.erase(std::unique(m_members.begin(), m_members.end(),
                                [](const auto &a, const auto &b) { return a.first == b.first; }),
                    m_members.end());
}

const QJsonValue *Object::find(QStringView key) const
{
    const auto it = std::lower_bound(m_members.begin(), m_members.end(), key,
                                     [](const auto &member, QStringView k) { return QStringView(member.first) < k; });
    if (it == m_members.end() || it->first != key)
        return nullptr;
    return &it->second;
}

QString Decode<QString>::from(const Value &value)
{
    if (!value.json().isString())
        value.fail(DecodingError::Reason::typeMismatch, QStringLiteral("expected a string"));
    return value.json().toString();
}

qint64 Decode<qint64>::from(const Value &value)
{
    if (!value.json().isDouble())
        value.fail(DecodingError::Reason::typeMismatch, QStringLiteral("expected an integer"));
    // toInteger() answers its default for anything that is not a whole
    // number within int64; two different defaults tell that apart from a real 0 or 1.
    const qint64 result = value.json().toInteger(0);
    if (result == 0 && value.json().toInteger(1) != 0)
        value.fail(DecodingError::Reason::typeMismatch, QStringLiteral("expected a whole number within 64 bits"));
    return result;
}

bool Decode<bool>::from(const Value &value)
{
    if (!value.json().isBool())
        value.fail(DecodingError::Reason::typeMismatch, QStringLiteral("expected a boolean"));
    return value.json().toBool();
}

double Decode<double>::from(const Value &value)
{
    if (!value.json().isDouble())
        value.fail(DecodingError::Reason::typeMismatch, QStringLiteral("expected a number"));
    return value.json().toDouble();
}

QDateTime Decode<QDateTime>::from(const Value &value)
{
    if (!value.json().isString())
        value.fail(DecodingError::Reason::typeMismatch, QStringLiteral("expected a date-time string"));
    const std::optional<QDateTime> date = parseInternetDateTime(value.json().toString());
    if (!date)
        value.fail(DecodingError::Reason::dataCorrupted,
                   QStringLiteral("expected an RFC 3339 date-time such as 2026-03-01T09:30:00Z"));
    return *date;
}

QJsonValue parseDocument(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        throw DecodingError(DecodingError::Reason::malformedJson, {},
                            error.errorString() + QStringLiteral(" at offset ") + QString::number(error.offset));
    if (document.isArray())
        return document.array();
    return document.object();
}

} // namespace vesko::json
