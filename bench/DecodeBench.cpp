// Decoding and money text, per item: the typical answers of one refresh (as
// the demo service gives them), event lists of 1,000, 10,000 and 100,000 to
// show the time per event stays flat, and the money texts per amount. Each is
// set against Qt's bare JSON parse of the same bytes, or ICU formatting with
// formatters kept per currency.
#include "bench/DevService.h"
#include "bench/Probe.h"
#include "bench/Table.h"
#include "kit/DataEnvelope.h"
#include "kit/Me.h"
#include "kit/Money.h"
#include "kit/Summary.h"
#include "kit/VeskoEvent.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <unicode/currunit.h>
#include <unicode/numberformatter.h>

using namespace Qt::StringLiterals;

using namespace vesko;
using namespace vesko::bench;

namespace {

volatile qint64 sink = 0; // keeps the measured work from being optimised away

// How many runs of `work` make a batch of at least 20 ms (this warms up too).
template <typename Work>
qint64 batchFor(Work &work)
{
    constexpr qint64 batchNs = 20'000'000;
    QElapsedTimer clock;
    qint64 batch = 1;
    for (;;) {
        clock.start();
        for (qint64 i = 0; i < batch; ++i)
            work();
        const qint64 ns = clock.nsecsElapsed();
        if (ns >= batchNs)
            return batch;
        batch = ns > 0 ? std::max(batch * 2, batch * batchNs / ns + 1) : batch * 2;
    }
}

template <typename Work>
double batchNs(Work &work, qint64 batch)
{
    QElapsedTimer clock;
    clock.start();
    for (qint64 i = 0; i < batch; ++i)
        work();
    return double(clock.nsecsElapsed()) / batch;
}

// Nanoseconds per run of `work`: the median of five batches.
template <typename Work>
double nsPerRun(Work work)
{
    const qint64 batch = batchFor(work);
    QList<double> perRun;
    for (int round = 0; round < 5; ++round)
        perRun << batchNs(work, batch);
    return median(perRun);
}

double parseNs(const QByteArray &body)
{
    return nsPerRun([&] { sink = sink + QJsonDocument::fromJson(body).object().size(); });
}

// The service's list, repeated with fresh ids to `count` events.
QByteArray eventList(const QJsonArray &sample, int count)
{
    QJsonArray events;
    for (int i = 0; i < count; ++i) {
        QJsonObject event = sample.at(i % sample.size()).toObject();
        event.insert(u"id"_s, u"ev_%1"_s.arg(i));
        events.append(event);
    }
    return QJsonDocument(QJsonObject{{u"data"_s, events}}).toJson(QJsonDocument::Compact);
}

// Every magnitude from cents to billions, both signs, a currency with a
// symbol and one without.
QList<std::pair<qint64, QString>> amounts()
{
    static const QStringList currencies{u"USD"_s, u"EUR"_s, u"GBP"_s, u"CHF"_s, u"JPY"_s};
    QList<std::pair<qint64, QString>> list;
    qint64 state = 88172645463325252LL;
    for (int i = 0; i < 10'000; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        qint64 scale = 1;
        for (int digits = i % 12; digits > 0; --digits)
            scale *= 10;
        const qint64 amount = (state & 0x7fffffffffffLL) % (scale * 10);
        list.append({i % 7 == 0 ? -amount : amount, currencies[i % currencies.size()]});
    }
    return list;
}

// Something of each decoded value for the sink, so the decoding must happen.
qint64 weight(const Summary &summary)
{
    return summary.mrr();
}
qint64 weight(const QList<VeskoEvent> &events)
{
    return events.size();
}
qint64 weight(const Me &me)
{
    return me.id().size();
}

// The floor for money text: ICU with one formatter per currency, built once
// and reused (ICU compiles a formatter after a few uses), whole units with
// the same rounding as Money::whole, from the same exact decimal text.
class KeptFormatters
{
public:
    QString whole(qint64 amount, const QString &currency)
    {
        auto it = m_formatters.find(currency);
        if (it == m_formatters.end()) {
            UErrorCode status = U_ZERO_ERROR;
            const icu::CurrencyUnit unit(reinterpret_cast<const char16_t *>(currency.utf16()), status);
            it = m_formatters
                     .emplace(currency, icu::number::NumberFormatter::withLocale(icu::Locale("en_US"))
                                            .roundingMode(UNUM_ROUND_HALFUP)
                                            .precision(icu::number::Precision::fixedFraction(0))
                                            .unit(unit))
                     .first;
        }
        const quint64 magnitude = amount < 0 ? 0 - quint64(amount) : quint64(amount);
        std::string decimal = (amount < 0 ? "-" : "") + std::to_string(magnitude / 100) + '.';
        decimal += char('0' + magnitude % 100 / 10);
        decimal += char('0' + magnitude % 10);
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString text = it->second.formatDecimal(decimal, status).toString(status);
        return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
    }

private:
    std::map<QString, icu::number::LocalizedNumberFormatter> m_formatters;
};

template <typename T>
void typicalRow(const QString &name, const QByteArray &body)
{
    const double decode = nsPerRun([&] { sink = sink + weight(decodeData<T>(body)); });
    print(compared(u"decode %1 (%2 bytes) / bare JSON parse"_s.arg(name).arg(body.size()), decode / 1000,
                   parseNs(body) / 1000, u"us"_s, 2, std::nullopt));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const DevService service;
    const QString token = service.failure().isEmpty() ? service.grantToken() : QString();
    const QByteArray summary = service.call("GET", u"v1/summary?project=all"_s, {}, token).body;
    const QByteArray events = service.call("GET", u"v1/events?limit=5"_s, {}, token).body;
    const QByteArray me = service.call("GET", u"v1/me"_s, {}, token).body;
    const QByteArray sample = service.call("GET", u"v1/events?limit=100"_s, {}, token).body;
    const QJsonArray sampleEvents = QJsonDocument::fromJson(sample).object().value(u"data").toArray();
    try {
        // A payload that does not decode would make every figure meaningless.
        decodeData<Summary>(summary);
        decodeData<Me>(me);
        if (decodeData<QList<VeskoEvent>>(events).size() != 5 || sampleEvents.isEmpty())
            throw std::runtime_error("unexpected event count");
    } catch (...) {
        std::fprintf(stderr, "vesko-bench-decode: the service's answers do not decode: %s\n",
                     qPrintable(service.failure()));
        print(failed(u"decode figures"_s, u"no typical payloads"_s));
        return 1;
    }

    typicalRow<Summary>(u"typical summary"_s, summary);
    typicalRow<QList<VeskoEvent>>(u"typical events (5)"_s, events);
    typicalRow<Me>(u"typical me"_s, me);

    // The sizes are timed in interleaved rounds and each keeps its fastest
    // batch: a stretch of load from other work on the machine then cannot
    // fall on one size alone and pass for a growth in the time per event.
    constexpr int rounds = 9;
    const QList<int> counts{1'000, 10'000, 100'000};
    QList<QByteArray> bodies;
    QList<std::function<double()>> measurements;
    for (const int count : counts)
        bodies << eventList(sampleEvents, count);
    for (qsizetype i = 0; i < counts.size(); ++i) {
        const QByteArray &body = bodies[i];
        const int count = counts[i];
        const auto decode = [&body] { sink = sink + decodeData<QList<VeskoEvent>>(body).size(); };
        const auto parse = [&body] { sink = sink + QJsonDocument::fromJson(body).object().size(); };
        measurements << [decode, count, batch = batchFor(decode)] { return batchNs(decode, batch) / count; };
        measurements << [parse, count, batch = batchFor(parse)] { return batchNs(parse, batch) / count; };
    }
    const QList<double> fastest = fastestInterleaved(rounds, measurements);
    for (qsizetype i = 0; i < counts.size(); ++i) {
        print(compared(u"decode %1 events: per event / bare JSON parse"_s.arg(counts[i]), fastest[2 * i] / 1000,
                       fastest[2 * i + 1] / 1000, u"us"_s, 3, std::nullopt));
    }
    // Linear growth: the time per event at 10x and 100x the size, against 1,000.
    for (qsizetype i = 1; i < counts.size(); ++i) {
        print(compared(u"per-event decode time, %1 vs %2 events (fastest of %3 interleaved rounds)"_s.arg(counts[i])
                           .arg(counts[0])
                           .arg(rounds),
                       fastest[2 * i] / 1000, fastest[0] / 1000, u"us"_s, 3, 1.5));
    }

    const QList<std::pair<qint64, QString>> list = amounts();
    KeptFormatters kept;
    int differing = 0;
    for (const auto &[amount, currency] : list)
        differing += kept.whole(amount, currency) != Money::whole(amount, currency);
    if (differing)
        std::fprintf(stderr, "vesko-bench-decode: the kept ICU formatters differ from Money::whole for %d amounts\n",
                     differing);
    const double floor = nsPerRun([&] {
                             for (const auto &[amount, currency] : list)
                                 sink = sink + kept.whole(amount, currency).size();
                         })
                         / list.size();
    const std::pair<const char *, QString (*)(qint64, const QString &)> formats[] = {
        {"Money::compact", &Money::compact}, {"Money::whole", &Money::whole}, {"Money::price", &Money::price}};
    for (const auto &[name, format] : formats) {
        const double ns = nsPerRun([&, fn = format] {
                              for (const auto &[amount, currency] : list)
                                  sink = sink + fn(amount, currency).size();
                          })
                          / list.size();
        print(compared(u"%1 per amount / ICU formatter kept per currency"_s.arg(QLatin1StringView(name)), ns / 1000,
                       floor / 1000, u"us"_s, 2, std::nullopt));
    }
    return 0;
}
