// Service answers: every body the API client decodes (summary, events, me and
// the token of the code exchange), read by the real decoder and, beside it, by
// a plain walk over a strict reader of its own, written from RFC 8259's
// grammar and keeping each number's literal. Both must agree on whether a body
// is acceptable and, when it is, on every field, amounts to the last unit.
#include "fuzz/FuzzCheck.h"
#include "kit/DataEnvelope.h"
#include "kit/InternetDateTime.h"
#include "kit/KeyConversion.h"
#include "kit/Me.h"
#include "kit/Summary.h"
#include "kit/VeskoEvent.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace vesko;

namespace {

// A parsed value of the reference reader.
struct Node
{
    enum class Kind {
        missing,
        null,
        boolean,
        number,
        string,
        array,
        object
    } kind = Kind::missing;
    bool flag = false;
    std::string literal; // a number as written
    QString text;
    std::vector<Node> elements;
    std::vector<QString> keys; // an object's, in wire order, repeats kept
    std::vector<Node> values;  // an object's, beside its keys
};

// Strict RFC 8259, with the decoder's own limits: the document is an object or
// an array, containers nest at most 1024 deep, a number must fit a double, a
// \u escape must not leave a surrogate unpaired. A leading UTF-8 byte order
// mark is skipped, as the RFC allows.
class Reader
{
public:
    explicit Reader(const QByteArray &body)
        : m_p(body.constData()),
          m_end(body.constData() + body.size())
    {}

    std::optional<Node> document()
    {
        if (m_end - m_p >= 3 && std::memcmp(m_p, "\xEF\xBB\xBF", 3) == 0)
            m_p += 3;
        skipSpace();
        if (m_p == m_end || (*m_p != '{' && *m_p != '['))
            return std::nullopt;
        std::optional<Node> root = value();
        skipSpace();
        if (!root || m_p != m_end)
            return std::nullopt;
        return root;
    }

private:
    void skipSpace()
    {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n' || *m_p == '\r'))
            ++m_p;
    }
    bool take(char c)
    {
        if (m_p == m_end || *m_p != c)
            return false;
        ++m_p;
        return true;
    }
    bool word(const char *w)
    {
        const std::size_t n = std::strlen(w);
        if (std::size_t(m_end - m_p) < n || std::memcmp(m_p, w, n) != 0)
            return false;
        m_p += n;
        return true;
    }

    std::optional<Node> value()
    {
        Node node;
        if (m_p == m_end)
            return std::nullopt;
        switch (*m_p) {
        case '{':
        case '[':
            return container();
        case '"': {
            std::optional<QString> text = string();
            if (!text)
                return std::nullopt;
            node.kind = Node::Kind::string;
            node.text = *text;
            return node;
        }
        case 't':
        case 'f':
            node.kind = Node::Kind::boolean;
            node.flag = *m_p == 't';
            return word(node.flag ? "true" : "false") ? std::optional(node) : std::nullopt;
        case 'n':
            node.kind = Node::Kind::null;
            return word("null") ? std::optional(node) : std::nullopt;
        default:
            return number();
        }
    }

    std::optional<Node> container()
    {
        if (++m_depth > 1024)
            return std::nullopt;
        const bool isObject = *m_p++ == '{';
        Node node;
        node.kind = isObject ? Node::Kind::object : Node::Kind::array;
        skipSpace();
        if (!take(isObject ? '}' : ']')) {
            for (;;) {
                skipSpace();
                QString key;
                if (isObject) {
                    std::optional<QString> k = string();
                    skipSpace();
                    if (!k || !take(':'))
                        return std::nullopt;
                    skipSpace();
                    key = *k;
                }
                std::optional<Node> element = value();
                if (!element)
                    return std::nullopt;
                if (isObject) {
                    node.keys.push_back(key);
                    node.values.push_back(std::move(*element));
                } else
                    node.elements.push_back(std::move(*element));
                skipSpace();
                if (take(isObject ? '}' : ']'))
                    break;
                if (!take(','))
                    return std::nullopt;
            }
        }
        --m_depth;
        return node;
    }

    std::optional<Node> number()
    {
        const char *start = m_p;
        const auto digits = [this] {
            const char *from = m_p;
            while (m_p != m_end && *m_p >= '0' && *m_p <= '9')
                ++m_p;
            return m_p - from;
        };
        take('-');
        if (take('0')) {
        } else if (digits() == 0) {
            return std::nullopt;
        }
        if (take('.') && digits() == 0)
            return std::nullopt;
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (digits() == 0)
                return std::nullopt;
        }
        Node node;
        node.kind = Node::Kind::number;
        node.literal.assign(start, m_p);
        if (!std::isfinite(std::strtod(node.literal.c_str(), nullptr)))
            return std::nullopt;
        return node;
    }

    // One code point of UTF-8, strictly: shortest form, no surrogates, at most U+10FFFF.
    std::optional<char32_t> utf8()
    {
        const auto byte = [](const char *at) { return quint8(*at); };
        const quint8 lead = byte(m_p);
        int length = lead < 0x80             ? 1
                     : (lead & 0xE0) == 0xC0 ? 2
                     : (lead & 0xF0) == 0xE0 ? 3
                     : (lead & 0xF8) == 0xF0 ? 4
                                             : 0;
        if (length == 0 || m_end - m_p < length)
            return std::nullopt;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            if ((byte(m_p + i) & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (byte(m_p + i) & 0x3F);
        }
        static constexpr char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if ((length > 1 && c < shortest[length]) || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        m_p += length;
        return c;
    }

    std::optional<char16_t> hex4()
    {
        if (m_end - m_p < 4)
            return std::nullopt;
        char16_t unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = *m_p++;
            const int v = h >= '0' && h <= '9'   ? h - '0'
                          : h >= 'a' && h <= 'f' ? h - 'a' + 10
                          : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                 : -1;
            if (v < 0)
                return std::nullopt;
            unit = char16_t(unit * 16 + v);
        }
        return unit;
    }

    std::optional<QString> string()
    {
        if (!take('"'))
            return std::nullopt;
        QString text;
        for (;;) {
            if (m_p == m_end)
                return std::nullopt;
            const char c = *m_p;
            if (c == '"') {
                ++m_p;
                return text;
            }
            if (quint8(c) < 0x20)
                return std::nullopt;
            if (c != '\\') {
                const std::optional<char32_t> point = utf8();
                if (!point)
                    return std::nullopt;
                // By hand: QString::fromUcs4 would drop a U+FEFF as a byte order mark.
                if (QChar::requiresSurrogates(*point)) {
                    text += QChar(QChar::highSurrogate(*point));
                    text += QChar(QChar::lowSurrogate(*point));
                } else {
                    text += QChar(char16_t(*point));
                }
                continue;
            }
            ++m_p;
            if (m_p == m_end)
                return std::nullopt;
            const char escape = *m_p++;
            static const std::pair<char, char16_t> simple[] = {
                {'"', u'"'},  {'\\', u'\\'}, {'/', u'/'},  {'b', u'\b'},
                {'f', u'\f'}, {'n', u'\n'},  {'r', u'\r'}, {'t', u'\t'},
            };
            bool done = false;
            for (const auto &[letter, unit] : simple) {
                if (escape == letter) {
                    text += QChar(unit);
                    done = true;
                }
            }
            if (done)
                continue;
            if (escape != 'u')
                return std::nullopt;
            const std::optional<char16_t> unit = hex4();
            if (!unit || QChar::isLowSurrogate(*unit))
                return std::nullopt;
            text += QChar(*unit);
            if (QChar::isHighSurrogate(*unit)) {
                const std::optional<char16_t> low = word("\\u") ? hex4() : std::nullopt;
                if (!low || !QChar::isLowSurrogate(*low))
                    return std::nullopt;
                text += QChar(*low);
            }
        }
    }

    const char *m_p;
    const char *m_end;
    int m_depth = 0;
};

// Whether a literal is a whole number within int64: written out as a plain
// integer (its exponent applied to the digits), then read by from_chars.
std::optional<qint64> wholeNumber(const std::string &literal)
{
    const std::size_t e = literal.find_first_of("eE");
    const std::string mantissa = literal.substr(0, e);
    const std::size_t point = mantissa.find('.');
    std::string digits = point == std::string::npos ? mantissa : mantissa.substr(0, point) + mantissa.substr(point + 1);
    const bool negative = digits.front() == '-';
    if (negative)
        digits.erase(0, 1);
    if (digits.find_first_not_of('0') == std::string::npos)
        return 0;
    long long shift = point == std::string::npos ? 0 : -static_cast<long long>(mantissa.size() - point - 1);
    if (e != std::string::npos) {
        std::string exponent = literal.substr(e + 1);
        if (exponent.front() == '+')
            exponent.erase(0, 1);
        long long written = 0;
        if (std::from_chars(exponent.data(), exponent.data() + exponent.size(), written).ec != std::errc())
            return std::nullopt; // beyond any length: far too big or far too small for a nonzero number
        if (written > 100 || written < -static_cast<long long>(digits.size()) - 100)
            return std::nullopt;
        shift += written;
    }
    if (shift >= 0) {
        digits.append(std::size_t(shift), '0');
    } else {
        const std::size_t dropped = std::size_t(-shift);
        if (dropped > digits.size() || digits.find_first_not_of('0', digits.size() - dropped) != std::string::npos)
            return std::nullopt;
        digits.resize(digits.size() - dropped);
    }
    if (negative)
        digits.insert(0, 1, '-');
    qint64 value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

// Code-point order, through UTF-8 (whose byte order is that order).
bool codePointLess(const QString &a, const QString &b)
{
    return a.toUtf8() < b.toUtf8();
}

// The code exchange's answer as the API client reads it (its own type is private to APIClient.cpp).
struct TokenAnswer
{
    QString token;

    friend bool operator==(const TokenAnswer &, const TokenAnswer &) = default;

    static TokenAnswer decode(const json::Value &value)
    {
        const json::Object o(value);
        return TokenAnswer{o.required<QString>(u"token")};
    }
};

// The reference reading. A step that finds the body unusable clears `ok`;
// whatever is read after that does not matter.
class Plain
{
public:
    bool ok = true;

    // The member read as `field`: of the wire keys that convert to it, the
    // first in code-point order; of a wire key written twice, the last.
    static const Node &member(const Node &object, QStringView field)
    {
        static const Node missing;
        std::optional<std::size_t> found;
        for (std::size_t i = 0; i < object.keys.size(); ++i) {
            if (convertFromSnakeCase(object.keys[i]) == field
                && (!found || !codePointLess(object.keys[*found], object.keys[i])))
                found = i;
        }
        return found ? object.values[*found] : missing;
    }

    const Node &object(const Node &v) { return require(v.kind == Node::Kind::object, std::cref(v)); }
    const std::vector<Node> &array(const Node &v)
    {
        static const std::vector<Node> none;
        return require(v.kind == Node::Kind::array, std::cref(v.kind == Node::Kind::array ? v.elements : none));
    }
    QString string(const Node &v) { return require(v.kind == Node::Kind::string, v.text); }
    bool boolean(const Node &v) { return require(v.kind == Node::Kind::boolean, v.flag); }
    double number(const Node &v)
    {
        return require(v.kind == Node::Kind::number,
                       v.kind == Node::Kind::number ? std::strtod(v.literal.c_str(), nullptr) : 0.0);
    }
    qint64 integer(const Node &v)
    {
        const std::optional<qint64> whole = v.kind == Node::Kind::number ? wholeNumber(v.literal) : std::nullopt;
        return require(whole.has_value(), whole.value_or(0));
    }

    QDateTime date(const Node &v)
    {
        const std::optional<QDateTime> date = parseInternetDateTime(string(v));
        return require(date.has_value(), date.value_or(QDateTime()));
    }

    Channel channel(const Node &v)
    {
        static const std::pair<QStringView, Channel> known[] = {
            {u"web", Channel::web},       {u"app_store", Channel::appStore},   {u"play_store", Channel::playStore},
            {u"amazon", Channel::amazon}, {u"rc_billing", Channel::rcBilling}, {u"paddle", Channel::paddle},
        };
        const QString raw = string(v);
        for (const auto &[text, channel] : known) {
            if (text == raw)
                return channel;
        }
        return Channel::other;
    }

    VeskoEvent::Kind kind(const Node &v)
    {
        const QString raw = string(v);
        if (raw == u"new")
            return VeskoEvent::Kind::new_;
        if (raw == u"cancelled")
            return VeskoEvent::Kind::cancelled;
        return require(raw == u"reactivated", VeskoEvent::Kind::reactivated);
    }

    // Missing or null is absent; anything else must read.
    template <typename Read>
    auto optional(const Node &v, Read read) -> std::optional<std::decay_t<decltype((this->*read)(v))>>
    {
        if (v.kind == Node::Kind::missing || v.kind == Node::Kind::null)
            return std::nullopt;
        return (this->*read)(v);
    }

private:
    template <typename T>
    T require(bool condition, T value)
    {
        ok = ok && condition;
        return value;
    }
};

template <typename T>
std::optional<T> accepted(const Plain &plain, T value)
{
    return plain.ok ? std::optional<T>(std::move(value)) : std::nullopt;
}

std::optional<Summary> plainSummary(const Node &data)
{
    Plain p;
    const Node &o = p.object(data);
    const auto m = [&o](QStringView field) -> const Node & { return Plain::member(o, field); };
    QList<ChannelAmount> channels;
    for (const Node &element : p.array(m(u"byChannel"))) {
        const Node &c = p.object(element);
        channels.append(ChannelAmount(p.channel(Plain::member(c, u"channel")), p.integer(Plain::member(c, u"mrr"))));
    }
    QList<ProjectAmount> projects;
    for (const Node &element : p.array(m(u"byProject"))) {
        const Node &c = p.object(element);
        projects.append(ProjectAmount(p.string(Plain::member(c, u"id")), p.string(Plain::member(c, u"name")),
                                      p.string(Plain::member(c, u"color")), p.integer(Plain::member(c, u"mrr"))));
    }
    Summary summary(Summary::Fields{
        .currency = p.string(m(u"currency")),
        .mrr = p.integer(m(u"mrr")),
        .arr = p.integer(m(u"arr")),
        .active = p.integer(m(u"active")),
        .new_ = p.integer(m(u"new")),
        .cancelled = p.integer(m(u"cancelled")),
        .growth = p.optional(m(u"growth"), &Plain::number),
        .ending = p.integer(m(u"ending")),
        .byChannel = channels,
        .byProject = projects,
        .hasSources = p.boolean(m(u"hasSources")),
        .incomplete = p.boolean(m(u"incomplete")),
        .lastSyncedAt = p.optional(m(u"lastSyncedAt"), &Plain::date),
    });
    return accepted(p, std::move(summary));
}

std::optional<QList<VeskoEvent>> plainEvents(const Node &data)
{
    Plain p;
    QList<VeskoEvent> events;
    for (const Node &element : p.array(data)) {
        const Node &o = p.object(element);
        const auto m = [&o](QStringView field) -> const Node & { return Plain::member(o, field); };
        const Node &project = p.object(m(u"project"));
        events.append(VeskoEvent(VeskoEvent::Fields{
            .id = p.string(m(u"id")),
            .kind = p.kind(m(u"kind")),
            .channel = p.channel(m(u"channel")),
            .occurredAt = p.date(m(u"occurredAt")),
            .amount = p.optional(m(u"amount"), &Plain::integer),
            .currency = p.string(m(u"currency")),
            .interval = p.optional(m(u"interval"), &Plain::string),
            .planName = p.optional(m(u"planName"), &Plain::string),
            .customerLabel = p.optional(m(u"customerLabel"), &Plain::string),
            .project = VeskoEvent::ProjectRef(p.string(Plain::member(project, u"id")),
                                              p.string(Plain::member(project, u"name"))),
        }));
    }
    return accepted(p, std::move(events));
}

std::optional<Me> plainMe(const Node &data)
{
    Plain p;
    const Node &o = p.object(data);
    const auto m = [&o](QStringView field) -> const Node & { return Plain::member(o, field); };
    Me me(Me::Fields{
        .id = p.string(m(u"id")),
        .name = p.string(m(u"name")),
        .email = p.optional(m(u"email"), &Plain::string),
        .currency = p.string(m(u"currency")),
        .sound = p.string(m(u"sound")),
        .notifyCancellations = p.boolean(m(u"notifyCancellations")),
        .countEndingSubscriptions = p.boolean(m(u"countEndingSubscriptions")),
    });
    return accepted(p, std::move(me));
}

std::optional<TokenAnswer> plainToken(const Node &data)
{
    Plain p;
    TokenAnswer answer{p.string(Plain::member(p.object(data), u"token"))};
    return accepted(p, std::move(answer));
}

// The key strategy, on every key the fuzzer invents: converting twice changes
// nothing, and a key without an underscore is left as it is.
void checkKeys(const Node &object)
{
    for (const QString &key : object.keys) {
        const QString converted = convertFromSnakeCase(key);
        FUZZ_CHECK(convertFromSnakeCase(converted) == converted);
        if (!key.contains(u'_'))
            FUZZ_CHECK(converted == key);
    }
}

template <typename T>
void check(const QByteArray &body, const std::optional<Node> &document, std::optional<T> (*reference)(const Node &))
{
    std::optional<T> expected;
    if (document)
        expected = reference(Plain::member(*document, u"data"));

    std::optional<T> decoded;
    try {
        decoded.emplace(decodeData<T>(body));
    } catch (const DecodingError &error) {
        FUZZ_CHECK((error.reason() == DecodingError::Reason::malformedJson) == !document);
        FUZZ_CHECK(error.path().isEmpty() || error.path().startsWith(u"data"));
        // An error names where, not what: a value from the body appears only cut short.
        const QString message = error.message();
        FUZZ_CHECK(message.size() <= 400);
        FUZZ_CHECK(std::strlen(error.what()) > 0);
        FUZZ_CHECK(message.isValidUtf16());
    } catch (...) {
        FUZZ_CHECK(!"only DecodingError leaves the decoder");
    }

    FUZZ_CHECK(decoded.has_value() == expected.has_value());
    if (decoded) {
        FUZZ_CHECK(*decoded == *expected);
        FUZZ_CHECK(decodeData<T>(body) == *decoded);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<Node> document = Reader(body).document();
    check<Summary>(body, document, plainSummary);
    check<QList<VeskoEvent>>(body, document, plainEvents);
    check<Me>(body, document, plainMe);
    check<TokenAnswer>(body, document, plainToken);

    if (document) {
        checkKeys(*document);
        checkKeys(Plain::member(*document, u"data"));
    }
    return 0;
}
