#include "kit/JsonDecoder.h"

#include "kit/InternetDateTime.h"
#include "kit/KeyConversion.h"

#include <QStringDecoder>

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

using namespace Qt::StringLiterals;

namespace vesko::json {

namespace {

// A string's UTF-8, already checked by the parser, as text. QString::fromUtf8
// drops a leading U+FEFF as a byte order mark; inside a JSON string it is a
// character like any other, and a key that starts with one is another key.
QString textOf(const std::string &utf8)
{
    const QByteArrayView bytes(utf8.data(), qsizetype(utf8.size()));
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

// Containers nest no deeper than this; deeper is not an answer of the service.
constexpr qsizetype maxDepth = 1024;

// Whether a number literal, as the grammar admits it, stands for a whole
// number within int64, and which. Decided on its digits, so nothing is
// rounded: 1999.0 and 1e3 are whole, -9223372036854775809 is out of range.
std::optional<qint64> exactInteger(std::string_view literal)
{
    const bool negative = !literal.empty() && literal.front() == '-';
    std::size_t i = negative ? 1 : 0;
    const auto isDigit = [&](std::size_t at) {
        return at < literal.size() && literal[at] >= '0' && literal[at] <= '9';
    };
    std::string digits;
    while (isDigit(i))
        digits += literal[i++];
    qint64 exponent = 0;
    // The parser writes the locale's decimal point in place of '.'.
    if (i < literal.size() && literal[i] != 'e' && literal[i] != 'E') {
        ++i;
        while (isDigit(i)) {
            digits += literal[i++];
            --exponent;
        }
    }
    if (i < literal.size()) {
        ++i; // e or E
        const bool down = i < literal.size() && literal[i] == '-';
        if (i < literal.size() && (literal[i] == '-' || literal[i] == '+'))
            ++i;
        qint64 written = 0;
        constexpr qint64 saturated = qint64(1) << 50; // far past any length a body can have
        while (isDigit(i))
            written = std::min(saturated, written * 10 + (literal[i++] - '0'));
        exponent += down ? -written : written;
    }

    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return 0;
    std::size_t last = digits.find_last_not_of('0');
    exponent += qint64(digits.size() - 1 - last);
    const std::size_t significant = last - first + 1;
    if (exponent < 0 || qint64(significant) + exponent > 19)
        return std::nullopt;
    // At most 19 digits: below 2^64.
    quint64 magnitude = 0;
    for (std::size_t d = first; d <= last; ++d)
        magnitude = magnitude * 10 + quint64(digits[d] - '0');
    for (qint64 e = 0; e < exponent; ++e)
        magnitude *= 10;
    constexpr quint64 limit = quint64(std::numeric_limits<qint64>::max());
    if (magnitude > limit + (negative ? 1 : 0))
        return std::nullopt;
    return negative ? qint64(0 - magnitude) : qint64(magnitude);
}

// Builds the document from the events of a strict RFC 8259 parser. A number
// keeps what its literal means: a whole number within int64 is held as an
// integer, exactly; any other as a double, or as an unsigned up to 2^64 - 1
// (neither is ever read as an int64).
class DocumentBuilder : public nlohmann::json_sax<nlohmann::json>
{
public:
    std::shared_ptr<nlohmann::json> document() { return m_document; }
    const QString &failure() const { return m_failure; }

    bool null() override { return add(nullptr); }
    bool boolean(bool value) override { return add(value); }
    bool number_integer(number_integer_t value) override { return add(value); }
    bool number_unsigned(number_unsigned_t value) override
    {
        if (value <= number_unsigned_t(std::numeric_limits<number_integer_t>::max()))
            return add(number_integer_t(value));
        return add(value);
    }
    bool number_float(number_float_t value, const string_t &literal) override
    {
        if (const std::optional<qint64> whole = exactInteger(literal))
            return add(number_integer_t(*whole));
        return add(value);
    }
    bool string(string_t &value) override { return add(std::move(value)); }
    bool binary(binary_t &) override { return false; } // never from JSON text

    bool start_object(std::size_t) override { return open(nlohmann::json::object()); }
    bool key(string_t &value) override
    {
        m_keys.push_back(std::move(value));
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(nlohmann::json::array()); }
    bool end_array() override { return close(); }

    bool parse_error(std::size_t position, const std::string &, const nlohmann::detail::exception &error) override
    {
        // The parser's words without the text it last read: a message never
        // carries a value from the body.
        QString what = QString::fromUtf8(error.what());
        what = what.left(what.indexOf("; last read"_L1));
        const qsizetype colon = what.indexOf(": "_L1, std::max(qsizetype(0), what.indexOf(u"column")));
        if (what.contains("number overflow"_L1))
            what = u"number out of range"_s;
        else if (colon >= 0)
            what = what.sliced(colon + 2);
        m_failure = what + u" at byte "_s + QString::number(position);
        return false;
    }

private:
    bool open(nlohmann::json container)
    {
        if (qsizetype(m_open.size()) >= maxDepth) {
            m_failure = u"nested deeper than %1 levels"_s.arg(maxDepth);
            return false;
        }
        m_open.push_back(std::move(container));
        return true;
    }

    bool close()
    {
        nlohmann::json done = std::move(m_open.back());
        m_open.pop_back();
        return add(std::move(done));
    }

    bool add(nlohmann::json value)
    {
        if (m_open.empty()) {
            // The service answers with an object (or a list); a bare scalar is no answer.
            if (!value.is_object() && !value.is_array()) {
                m_failure = u"the document is neither an object nor an array"_s;
                return false;
            }
            m_document = std::make_shared<nlohmann::json>(std::move(value));
        } else if (m_open.back().is_object()) {
            m_open.back()[m_keys.back()] = std::move(value); // a key written twice: the last stands
            m_keys.pop_back();
        } else {
            m_open.back().push_back(std::move(value));
        }
        return true;
    }

    std::vector<nlohmann::json> m_open;
    std::vector<std::string> m_keys; // one for each open object that awaits its member's value
    std::shared_ptr<nlohmann::json> m_document;
    QString m_failure;
};

} // namespace

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

qsizetype Value::arraySize() const
{
    if (!m_json.is_array())
        fail(DecodingError::Reason::typeMismatch, u"expected an array"_s);
    return qsizetype(m_json.size());
}

const nlohmann::json &Value::element(qsizetype index) const
{
    return m_json[std::size_t(index)];
}

Object::Object(const Value &value)
    : m_path(value.path())
{
    if (!value.json().is_object())
        value.fail(DecodingError::Reason::typeMismatch, u"expected an object"_s);
    // The members come in byte order of their UTF-8 keys, which is code-point order.
    m_members.reserve(value.json().size());
    for (auto it = value.json().begin(); it != value.json().end(); ++it)
        m_members.emplace_back(convertFromSnakeCase(textOf(it.key())), &*it);
    std::stable_sort(m_members.begin(), m_members.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    m_members.erase(std::unique(m_members.begin(), m_members.end(),
                                [](const auto &a, const auto &b) { return a.first == b.first; }),
                    m_members.end());
}

const nlohmann::json *Object::find(QStringView key) const
{
    const auto it = std::lower_bound(m_members.begin(), m_members.end(), key,
                                     [](const auto &member, QStringView k) { return QStringView(member.first) < k; });
    if (it == m_members.end() || it->first != key)
        return nullptr;
    return it->second;
}

bool Object::isNull(const nlohmann::json &value)
{
    return value.is_null();
}

QString Decode<QString>::from(const Value &value)
{
    if (!value.json().is_string())
        value.fail(DecodingError::Reason::typeMismatch, u"expected a string"_s);
    return textOf(value.json().get_ref<const std::string &>());
}

qint64 Decode<qint64>::from(const Value &value)
{
    if (!value.json().is_number())
        value.fail(DecodingError::Reason::typeMismatch, u"expected an integer"_s);
    // The parser holds a number as a signed integer exactly when its literal
    // is a whole number within int64.
    if (value.json().type() != nlohmann::json::value_t::number_integer)
        value.fail(DecodingError::Reason::typeMismatch, u"expected a whole number within 64 bits"_s);
    return value.json().get<qint64>();
}

bool Decode<bool>::from(const Value &value)
{
    if (!value.json().is_boolean())
        value.fail(DecodingError::Reason::typeMismatch, u"expected a boolean"_s);
    return value.json().get<bool>();
}

double Decode<double>::from(const Value &value)
{
    if (!value.json().is_number())
        value.fail(DecodingError::Reason::typeMismatch, u"expected a number"_s);
    return value.json().get<double>();
}

QDateTime Decode<QDateTime>::from(const Value &value)
{
    if (!value.json().is_string())
        value.fail(DecodingError::Reason::typeMismatch, u"expected a date-time string"_s);
    const std::optional<QDateTime> date = parseInternetDateTime(Decode<QString>::from(value));
    if (!date)
        value.fail(DecodingError::Reason::dataCorrupted,
                   u"expected an RFC 3339 date-time such as 2026-03-01T09:30:00Z"_s);
    return *date;
}

std::shared_ptr<const nlohmann::json> parseDocument(const QByteArray &body)
{
    // JSON text never holds a raw NUL, and nlohmann's parser takes one for the
    // end of the input, leaving whatever follows unread.
    if (const qsizetype nul = body.indexOf('\0'); nul >= 0)
        throw DecodingError(DecodingError::Reason::malformedJson, {},
                            u"a NUL byte at byte "_s + QString::number(nul + 1));
    DocumentBuilder builder;
    const bool parsed = nlohmann::json::sax_parse(body.cbegin(), body.cend(), &builder);
    if (!parsed || !builder.document())
        throw DecodingError(DecodingError::Reason::malformedJson, {}, builder.failure());
    return builder.document();
}

} // namespace vesko::json
