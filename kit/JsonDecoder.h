#pragma once

#include "kit/DecodingError.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <utility>
#include <vector>

// The process-wide JSON decoder. Its settings are fixed: every object key is
// converted from snake case before matching (KeyConversion.h) and dates are
// read as RFC 3339 internet date-times without fractions (InternetDateTime.h).
// There is nothing to build at run time, so nothing to share or lock.
//
// The text is parsed strictly to RFC 8259 by nlohmann's parser (no "2.", no
// invalid escapes, no raw control characters, UTF-8 only); the document must
// be an object or an array, nested at most 1024 deep.
//
// Numbers: an int64 field takes a JSON number whose literal is a whole number
// within range (1999, 1999.0 and 1e3 do; 1999.5, 2^63 and -2^63-1 do not),
// decided on the literal's digits, so exactly over the whole int64 range.
namespace vesko::json {

using namespace Qt::StringLiterals;

// A place in the document, linked to its parent. The text ("data[2].kind")
// is only built when an error needs it.
class Path
{
public:
    Path() = default;
    Path key(QStringView key) const { return Path(this, key, -1); }
    Path index(qsizetype index) const { return Path(this, {}, index); }
    QString toString() const;

private:
    Path(const Path *parent, QStringView key, qsizetype index)
        : m_parent(parent),
          m_key(key),
          m_index(index)
    {}

    const Path *m_parent = nullptr;
    QStringView m_key;
    qsizetype m_index = -1;
};

class Value;

// How a type is read from a JSON value. Records provide `static T decode(const Value &)`;
// the primitive types are specialised below.
template <typename T>
struct Decode
{
    static T from(const Value &value) { return T::decode(value); }
};

// A JSON value and where it sits in the document.
class Value
{
public:
    Value(const nlohmann::json &json, const Path &path)
        : m_json(json),
          m_path(path)
    {}

    const nlohmann::json &json() const { return m_json; }
    const Path &path() const { return m_path; }

    template <typename T>
    T as() const
    {
        return Decode<T>::from(*this);
    }

    [[noreturn]] void fail(DecodingError::Reason reason, const QString &detail) const;

    // The number of elements of an array; anything else fails.
    qsizetype arraySize() const;
    const nlohmann::json &element(qsizetype index) const;

private:
    const nlohmann::json &m_json;
    const Path &m_path;
};

// A JSON object whose keys went through the key conversion. Reading a
// required member that is missing or null, or any member of the wrong type,
// throws DecodingError naming its path.
class Object
{
public:
    explicit Object(const Value &value);

    template <typename T>
    T required(QStringView key) const
    {
        const Path path = m_path.key(key);
        const nlohmann::json *member = find(key);
        if (!member)
            throw DecodingError(DecodingError::Reason::keyNotFound, path.toString(), u"required key is missing"_s);
        if (isNull(*member))
            throw DecodingError(DecodingError::Reason::valueNotFound, path.toString(), u"required value is null"_s);
        return Decode<T>::from(Value(*member, path));
    }

    // Missing or null is absent; present with the wrong type is an error.
    template <typename T>
    std::optional<T> optional(QStringView key) const
    {
        const nlohmann::json *member = find(key);
        if (!member || isNull(*member))
            return std::nullopt;
        const Path path = m_path.key(key);
        return Decode<T>::from(Value(*member, path));
    }

private:
    const nlohmann::json *find(QStringView key) const;
    static bool isNull(const nlohmann::json &value);

    Path m_path;
    // Sorted by converted key; when two wire keys convert to the same name
    // the first in code-point order wins, so a key already written in camel
    // case wins over its snake-case twin. A wire key written twice: the last stands.
    std::vector<std::pair<QString, const nlohmann::json *>> m_members;
};

template <>
struct Decode<QString>
{
    static QString from(const Value &value);
};

template <>
struct Decode<qint64>
{
    static qint64 from(const Value &value);
};

template <>
struct Decode<bool>
{
    static bool from(const Value &value);
};

template <>
struct Decode<double>
{
    static double from(const Value &value);
};

template <>
struct Decode<QDateTime>
{
    static QDateTime from(const Value &value);
};

template <typename T>
struct Decode<QList<T>>
{
    static QList<T> from(const Value &value)
    {
        const qsizetype size = value.arraySize();
        QList<T> result;
        result.reserve(size);
        for (qsizetype i = 0; i < size; ++i) {
            const Path path = value.path().index(i);
            result.append(Decode<T>::from(Value(value.element(i), path)));
        }
        return result;
    }
};

// Parses a whole response body. Throws DecodingError.
std::shared_ptr<const nlohmann::json> parseDocument(const QByteArray &body);

// Parses a whole response body and reads it as T. Throws DecodingError.
template <typename T>
T decode(const QByteArray &body)
{
    const std::shared_ptr<const nlohmann::json> document = parseDocument(body);
    const Path root;
    return Decode<T>::from(Value(*document, root));
}

} // namespace vesko::json
