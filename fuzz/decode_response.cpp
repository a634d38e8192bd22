// Service answers: every body the API client decodes (summary, events, me and
// the token of the code exchange), read by the real decoder and, beside it, by
// a plain walk over QJsonDocument. Both must agree on whether a body is
// acceptable and, when it is, on every field, amounts to the last unit.
#include "DataEnvelope.h"
#include "FuzzCheck.h"
#include "InternetDateTime.h"
#include "KeyConversion.h"
#include "Me.h"
#include "Summary.h"
#include "VeskoEvent.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

#include <cmath>
#include <cstring>
#include <optional>

using namespace vesko;

namespace {

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

    // The member read as `field`: the first wire key, in the object's own order, that converts to it.
    static QJsonValue member(const QJsonObject &object, QStringView field)
    {
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (convertFromSnakeCase(it.key()) == field)
                return it.value();
        }
        return QJsonValue(QJsonValue::Undefined);
    }

    QJsonObject object(const QJsonValue &v) { return require(v.isObject(), v.toObject()); }
    QJsonArray array(const QJsonValue &v) { return require(v.isArray(), v.toArray()); }
    QString string(const QJsonValue &v) { return require(v.isString(), v.toString()); }
    bool boolean(const QJsonValue &v) { return require(v.isBool(), v.toBool()); }
    double number(const QJsonValue &v) { return require(v.isDouble(), v.toDouble()); }

    // Decided from what Qt holds (an int64, or a double that must be whole and
    // in range), not through QJsonValue::toInteger as the decoder does.
    qint64 integer(const QJsonValue &v)
    {
        const QVariant held = v.toVariant();
        if (held.typeId() == QMetaType::LongLong)
            return held.toLongLong();
        const double d = held.toDouble();
        const bool whole = held.typeId() == QMetaType::Double && d == std::trunc(d) && d >= -0x1p63 && d < 0x1p63;
        return require(whole, whole ? qint64(d) : 0);
    }

    QDateTime date(const QJsonValue &v)
    {
        const std::optional<QDateTime> date = parseInternetDateTime(string(v));
        return require(date.has_value(), date.value_or(QDateTime()));
    }

    Channel channel(const QJsonValue &v)
    {
        static const std::pair<QStringView, Channel> known[] = {
            {u"web", Channel::web},       {u"app_store", Channel::appStore}, {u"play_store", Channel::playStore},
            {u"amazon", Channel::amazon}, {u"rc_billing", Channel::rcBilling}, {u"paddle", Channel::paddle},
        };
        const QString raw = string(v);
        for (const auto &[text, channel] : known) {
            if (text == raw)
                return channel;
        }
        return Channel::other;
    }

    VeskoEvent::Kind kind(const QJsonValue &v)
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
    auto optional(const QJsonValue &v, Read read) -> std::optional<decltype((this->*read)(v))>
    {
        if (v.isUndefined() || v.isNull())
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

std::optional<Summary> plainSummary(const QJsonValue &data)
{
    Plain p;
    const QJsonObject o = p.object(data);
    const auto m = [&o](QStringView field) { return Plain::member(o, field); };
    QList<ChannelAmount> channels;
    for (const QJsonValue &element : p.array(m(u"byChannel"))) {
        const QJsonObject c = p.object(element);
        channels.append(ChannelAmount(p.channel(Plain::member(c, u"channel")), p.integer(Plain::member(c, u"mrr"))));
    }
    QList<ProjectAmount> projects;
    for (const QJsonValue &element : p.array(m(u"byProject"))) {
        const QJsonObject c = p.object(element);
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

std::optional<QList<VeskoEvent>> plainEvents(const QJsonValue &data)
{
    Plain p;
    QList<VeskoEvent> events;
    for (const QJsonValue &element : p.array(data)) {
        const QJsonObject o = p.object(element);
        const auto m = [&o](QStringView field) { return Plain::member(o, field); };
        const QJsonObject project = p.object(m(u"project"));
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

std::optional<Me> plainMe(const QJsonValue &data)
{
    Plain p;
    const QJsonObject o = p.object(data);
    const auto m = [&o](QStringView field) { return Plain::member(o, field); };
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

std::optional<TokenAnswer> plainToken(const QJsonValue &data)
{
    Plain p;
    TokenAnswer answer{p.string(Plain::member(p.object(data), u"token"))};
    return accepted(p, std::move(answer));
}

// The key strategy, on every key the fuzzer invents: converting twice changes
// nothing, and a key without an underscore is left as it is.
void checkKeys(const QJsonObject &object)
{
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        const QString converted = convertFromSnakeCase(it.key());
        FUZZ_CHECK(convertFromSnakeCase(converted) == converted);
        if (!it.key().contains(u'_'))
            FUZZ_CHECK(converted == it.key());
    }
}

template <typename T>
void check(const QByteArray &body, std::optional<T> (*reference)(const QJsonValue &))
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    const bool parses = parseError.error == QJsonParseError::NoError;
    std::optional<T> expected;
    if (parses && document.isObject())
        expected = reference(Plain::member(document.object(), u"data"));

    std::optional<T> decoded;
    try {
        decoded.emplace(decodeData<T>(body));
    } catch (const DecodingError &error) {
        FUZZ_CHECK((error.reason() == DecodingError::Reason::malformedJson) == !parses);
        FUZZ_CHECK(error.path().isEmpty() || error.path().startsWith(u"data"));
        // An error names where, not what: a value from the body appears only cut short.
        const QString message = error.message();
        FUZZ_CHECK(message.size() <= 400);
        FUZZ_CHECK(std::strlen(error.what()) > 0);
        // Cut short on a character boundary, unless the body itself holds a broken escape.
        FUZZ_CHECK(message.isValidUtf16() || body.contains("\\u") || body.contains("\\U"));
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
    check<Summary>(body, plainSummary);
    check<QList<VeskoEvent>>(body, plainEvents);
    check<Me>(body, plainMe);
    check<TokenAnswer>(body, plainToken);

    const QJsonObject root = QJsonDocument::fromJson(body).object();
    checkKeys(root);
    checkKeys(root.value(QLatin1StringView("data")).toObject());
    return 0;
}
