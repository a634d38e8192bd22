#include "devservice/FaultPlan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QUrl>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

namespace {

constexpr qint64 maxOversize = qint64(512) * 1024 * 1024;
constexpr int maxMilliseconds = 10 * 60 * 1000;

std::optional<qint64> wholeNumber(const QJsonValue &value, qint64 min, qint64 max)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    const qint64 whole = value.toInteger(min - 1);
    if (double(whole) != number || whole < min || whole > max)
        return std::nullopt;
    return whole;
}

QJsonValue numbersAsStrings(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        const qint64 whole = value.toInteger();
        return double(whole) == number ? QString::number(whole)
                                       : QString::number(number, 'g', QLocale::FloatingPointShortest);
    }
    if (value.isBool())
        return value.toBool() ? u"true"_s : u"false"_s;
    if (value.isArray()) {
        QJsonArray array;
        for (const QJsonValue item : value.toArray())
            array.append(numbersAsStrings(item));
        return array;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            it.value() = numbersAsStrings(it.value());
        return object;
    }
    return value;
}

template <typename T>
void put(QJsonObject &object, const QString &key, const std::optional<T> &field)
{
    if (field)
        object.insert(key, *field);
}

template <typename T>
void overlay(std::optional<T> &field, const std::optional<T> &over)
{
    if (over)
        field = over;
}

} // namespace

std::optional<FaultPlan> FaultPlan::fromJson(const QJsonObject &object, QString *error)
{
    static const std::array<std::pair<QLatin1StringView, std::optional<bool> FaultPlan::*>, 5> switches{{
        {"malformed"_L1, &FaultPlan::malformed},
        {"wrong_types"_L1, &FaultPlan::wrongTypes},
        {"stall"_L1, &FaultPlan::stall},
        {"truncate"_L1, &FaultPlan::truncate},
        {"reset"_L1, &FaultPlan::reset},
    }};

    FaultPlan plan;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString &key = it.key();
        const QJsonValue value = it.value();
        auto fail = [&](const QString &why) -> std::optional<FaultPlan> {
            *error = key + u": "_s + why;
            return std::nullopt;
        };

        const auto sw = std::find_if(switches.begin(), switches.end(), [&](const auto &s) { return s.first == key; });
        if (sw != switches.end()) {
            if (!value.isBool())
                return fail(u"expected true or false"_s);
            plan.*(sw->second) = value.toBool();
        } else if (key == u"status") {
            // Only final answers: a 1xx would make the client wait for another one.
            const auto status = wholeNumber(value, 200, 599);
            if (!status)
                return fail(u"expected a status code from 200 to 599"_s);
            plan.status = int(*status);
        } else if (key == u"redirect_to") {
            const QUrl url(value.toString(), QUrl::StrictMode);
            if (!value.isString() || !url.isValid() || url.isEmpty())
                return fail(u"expected a URL"_s);
            plan.redirectTo = value.toString();
        } else if (key == u"unauthorized_next") {
            const auto count = wholeNumber(value, 0, 1'000'000);
            if (!count)
                return fail(u"expected a count"_s);
            plan.unauthorizedNext = int(*count);
        } else if (key == u"oversize_bytes") {
            const auto size = wholeNumber(value, 1, maxOversize);
            if (!size)
                return fail(u"expected a size up to 512 MiB"_s);
            plan.oversizeBytes = *size;
        } else if (key == u"delay_ms" || key == u"trickle_ms") {
            const bool delay = key == u"delay_ms";
            const auto ms = wholeNumber(value, delay ? 0 : 1, maxMilliseconds);
            if (!ms)
                return fail(u"expected milliseconds up to ten minutes"_s);
            (delay ? plan.delayMs : plan.trickleMs) = int(*ms);
        } else {
            return fail(u"unknown fault"_s);
        }
    }
    return plan;
}

QJsonObject FaultPlan::toJson() const
{
    QJsonObject object;
    put(object, u"status"_s, status);
    put(object, u"redirect_to"_s, redirectTo);
    put(object, u"unauthorized_next"_s, unauthorizedNext);
    put(object, u"malformed"_s, malformed);
    put(object, u"wrong_types"_s, wrongTypes);
    put(object, u"oversize_bytes"_s, oversizeBytes);
    put(object, u"delay_ms"_s, delayMs);
    put(object, u"stall"_s, stall);
    put(object, u"trickle_ms"_s, trickleMs);
    put(object, u"truncate"_s, truncate);
    put(object, u"reset"_s, reset);
    return object;
}

FaultPlan FaultPlan::overlaidOn(const FaultPlan &base) const
{
    FaultPlan result = base;
    overlay(result.status, status);
    overlay(result.redirectTo, redirectTo);
    overlay(result.unauthorizedNext, unauthorizedNext);
    overlay(result.malformed, malformed);
    overlay(result.wrongTypes, wrongTypes);
    overlay(result.oversizeBytes, oversizeBytes);
    overlay(result.delayMs, delayMs);
    overlay(result.stall, stall);
    overlay(result.trickleMs, trickleMs);
    overlay(result.truncate, truncate);
    overlay(result.reset, reset);
    return result;
}

void FaultPlan::tamper(HttpReply &reply) const
{
    if (!reply.isSuccess() || reply.body.isEmpty())
        return;
    if (malformed.value_or(false)) {
        // Starts like the real thing and then stops making sense.
        reply.body = reply.body.left(reply.body.size() / 2) + "<html>upstream error</html>"_ba;
        return;
    }
    if (wrongTypes.value_or(false) && reply.isJson()) {
        const QJsonDocument document = QJsonDocument::fromJson(reply.body);
        const QJsonValue rewritten =
            numbersAsStrings(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()));
        reply.body = rewritten.isArray() ? QJsonDocument(rewritten.toArray()).toJson(QJsonDocument::Compact)
                                         : QJsonDocument(rewritten.toObject()).toJson(QJsonDocument::Compact);
    }
    if (oversizeBytes) {
        // Still a valid document: JSON gets an extra member, XML a trailing comment.
        const bool json = reply.isJson() && reply.body.endsWith('}');
        const QByteArray opening = json ? ",\"padding\":\""_ba : "\n<!--"_ba;
        const QByteArray closing = json ? "\"}"_ba : "-->\n"_ba;
        const qint64 fill = *oversizeBytes - reply.body.size() - opening.size() - closing.size() + (json ? 1 : 0);
        if (fill > 0) {
            if (json)
                reply.body.chop(1);
            reply.body += opening + QByteArray(fill, 'x') + closing;
        }
    }
}

} // namespace vesko::devservice
