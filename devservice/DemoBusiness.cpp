#include "devservice/DemoBusiness.h"

#include <QList>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

namespace {

struct Project
{
    QLatin1StringView id;
    QLatin1StringView name;
    QLatin1StringView color;
};

constexpr std::array projects{
    Project{"prj_1"_L1, "Snoutly"_L1, "#2340FF"_L1},
    Project{"prj_2"_L1, "Pawlog"_L1, "#FF7A1A"_L1},
    Project{"prj_3"_L1, "Burrow"_L1, "#12A36B"_L1},
};

// The last one is a store the app has no name for.
constexpr std::array channels{"web"_L1, "app_store"_L1, "play_store"_L1, "rc_billing"_L1, "galaxy_store"_L1};

// Typical MRR in cents per project and channel, before the seed scales it.
constexpr qint64 typicalMrr[projects.size()][channels.size()]{
    {412000, 305000, 118000, 64000, 21000},
    {96000, 141000, 52000, 17000, 8000},
    {38000, 0, 27000, 0, 4000},
};

struct Plan
{
    QLatin1StringView name;
    qint64 amount;
    QLatin1StringView interval;
};

constexpr std::array plans{
    Plan{"Pro"_L1, 999, "month"_L1},   Plan{"Pro"_L1, 9900, "year"_L1}, Plan{"Team"_L1, 2999, "month"_L1},
    Plan{"Basic"_L1, 499, "month"_L1}, Plan{"Pro"_L1, 299, "week"_L1},
};

constexpr std::array customers{"Ada L."_L1,     "Grace H."_L1, "Linus T."_L1,   "Margaret H."_L1,    "Edsger D."_L1,
                               "Barbara L."_L1, "Ken T."_L1,   "Frances A."_L1, "jo@example.com"_L1, "Radia P."_L1};

// Tags keep the pseudo-random streams of different figures apart.
enum Tag : quint64 {
    scaleTag = 1,
    waveTag,
    jitterTag,
    seasonTag,
    endingTag,
    newTag,
    cancelledTag,
    eventTag,
    accountTag
};

constexpr qint64 minutesPerDay = qint64{24} * 60;
constexpr qint64 minutesPer30Days = 30 * minutesPerDay;

quint64 splitMix(quint64 x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

QString rfc3339(qint64 secondsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC).toString(Qt::ISODate);
}

} // namespace

DemoBusiness::DemoBusiness(quint64 seed, Settings settings)
    : m_seed(seed),
      m_initial(std::move(settings)),
      m_settings(m_initial)
{}

bool DemoBusiness::isCurrencyCode(const QString &code)
{
    return code.size() == 3 && std::all_of(code.begin(), code.end(), [](QChar c) { return c >= u'A' && c <= u'Z'; });
}

bool DemoBusiness::knowsProject(const QString &project) const
{
    return project == u"all"
           || (!m_settings.closedProjects.contains(project)
               && std::any_of(projects.begin(), projects.end(), [&](const Project &p) { return p.id == project; }));
}

quint64 DemoBusiness::hash(quint64 tag, quint64 value) const
{
    return splitMix(splitMix(m_seed ^ (tag << 56)) + value);
}

qint64 DemoBusiness::cellMrr(int project, int channel, qint64 minute) const
{
    const quint64 cell = quint64(project) * 8 + quint64(channel);
    const double typical = double(typicalMrr[project][channel]) * double(800 + hash(scaleTag, cell) % 400) / 1000.0;
    if (typical == 0)
        return 0;
    // A daily-ish wave per cell, a slow seasonal swell and a few dollars of noise each minute.
    const quint64 waveHash = hash(waveTag, cell);
    const qint64 period = qint64{6} * 60 + qint64(waveHash % (qint64{24} * 60));
    const qint64 phase = qint64((waveHash >> 24) % quint64(period));
    const double wave = 0.035 * std::sin(2 * std::numbers::pi * double(minute + phase) / double(period));
    const qint64 yearMinutes = 365 * minutesPerDay;
    const qint64 seasonPhase = qint64(hash(seasonTag, 0) % quint64(yearMinutes));
    const double season = 0.12 * std::sin(2 * std::numbers::pi * double(minute + seasonPhase) / double(yearMinutes));
    const qint64 noise = qint64(hash(jitterTag, cell * 0x100000000ULL + quint64(minute)) % 1501) - 750;
    return std::max<qint64>(0, std::llround(typical * (1 + wave + season)) + noise);
}

qint64 DemoBusiness::projectCount(int project, quint64 tag, qint64 day, int least, int spread) const
{
    return least + qint64(hash(tag, quint64(day) * 4 + quint64(project)) % quint64(spread));
}

QJsonObject DemoBusiness::summary(const QDateTime &now, const QString &project) const
{
    const qint64 minute = now.toSecsSinceEpoch() / 60;
    const qint64 day = minute / minutesPerDay;
    QJsonObject summary{{u"currency"_s, m_settings.currency},
                        {u"incomplete"_s, m_settings.incomplete},
                        {u"has_sources"_s, m_settings.hasSources}};
    if (!m_settings.hasSources) {
        // A new account: nothing connected, so nothing to count.
        for (const QString &key : {u"mrr"_s, u"arr"_s, u"active"_s, u"new"_s, u"cancelled"_s, u"ending"_s})
            summary.insert(key, 0);
        summary.insert(u"by_channel"_s, QJsonArray());
        summary.insert(u"by_project"_s, QJsonArray());
        return summary;
    }

    std::array<qint64, channels.size()> byChannel{};
    QJsonArray byProject;
    qint64 mrr = 0, monthAgo = 0, added = 0, cancelled = 0;
    for (int p = 0; p < int(projects.size()); ++p) {
        if ((project != u"all" && projects[p].id != project) || m_settings.closedProjects.contains(projects[p].id))
            continue;
        qint64 projectMrr = 0;
        for (int c = 0; c < int(channels.size()); ++c) {
            const qint64 cell = cellMrr(p, c, minute);
            byChannel[c] += cell;
            projectMrr += cell;
            monthAgo += cellMrr(p, c, minute - minutesPer30Days);
        }
        mrr += projectMrr;
        added += projectCount(p, newTag, day, 3, 10);
        cancelled += projectCount(p, cancelledTag, day, 1, 4);
        byProject.append(QJsonObject{{u"id"_s, projects[p].id},
                                     {u"name"_s, projects[p].name},
                                     {u"color"_s, projects[p].color},
                                     {u"mrr"_s, projectMrr}});
    }
    QJsonArray channelList;
    for (int c = 0; c < int(channels.size()); ++c)
        channelList.append(QJsonObject{{u"channel"_s, channels[c]}, {u"mrr"_s, byChannel[c]}});

    summary.insert(u"mrr"_s, mrr);
    summary.insert(u"arr"_s, 12 * mrr);
    summary.insert(u"active"_s, mrr / 1175); // about $11.75 a subscription
    summary.insert(u"new"_s, added);
    summary.insert(u"cancelled"_s, cancelled);
    if (monthAgo > 0)
        summary.insert(u"growth"_s, std::round(double(mrr - monthAgo) * 1000.0 / double(monthAgo)) / 10.0);
    summary.insert(u"ending"_s, mrr * qint64(15 + hash(endingTag, quint64(day)) % 25) / 1000);
    summary.insert(u"by_channel"_s, channelList);
    summary.insert(u"by_project"_s, byProject);
    // The sources are read every five minutes.
    summary.insert(u"last_synced_at"_s, rfc3339(minute / 5 * 5 * 60));
    return summary;
}

QJsonArray DemoBusiness::events(const QDateTime &now, const QString &project, int limit) const
{
    QJsonArray list;
    if (!m_settings.hasSources)
        return list;
    const qint64 nowSeconds = now.toSecsSinceEpoch();
    const qint64 newest = nowSeconds / eventSpacingSeconds;
    // The bound only matters for a project that never sells, which none of these is.
    for (qint64 bucket = newest; bucket > newest - 10000 && list.size() < limit; --bucket) {
        if (eventTime(bucket) > nowSeconds)
            continue; // later in this slot
        const QJsonObject event = eventIn(bucket);
        const QString eventProject = event.value(u"project"_s).toObject().value(u"id"_s).toString();
        if ((project != u"all" && eventProject != project) || m_settings.closedProjects.contains(eventProject))
            continue;
        list.append(event);
    }
    return list;
}

qint64 DemoBusiness::eventTime(qint64 bucket) const
{
    return bucket * eventSpacingSeconds + qint64(hash(eventTag, quint64(bucket)) % quint64(eventSpacingSeconds));
}

QJsonObject DemoBusiness::eventIn(qint64 bucket) const
{
    const quint64 h = hash(eventTag, quint64(bucket));
    // Every five events in a row hold all three kinds, and one cancellation without a price.
    const int position = int((quint64(bucket) + m_seed) % 5);
    static constexpr std::array kinds{"new"_L1, "cancelled"_L1, "new"_L1, "reactivated"_L1, "cancelled"_L1};
    const bool bare = position == 1;

    const int share = int((h >> 12) % 100);
    const int channel = share < 38 ? 0 : share < 66 ? 1 : share < 82 ? 2 : share < 94 ? 3 : 4;
    const quint64 pick = (h >> 20) % 100;
    const Project &project = projects[pick < 62 ? 0 : pick < 88 ? 1 : 2];

    QJsonObject event{
        {u"id"_s, u"ev_"_s + QString::number(bucket)},
        {u"kind"_s, kinds[position]},
        {u"channel"_s, channels[channel]},
        {u"occurred_at"_s, rfc3339(eventTime(bucket))},
        {u"currency"_s, m_settings.currency},
        {u"project"_s, QJsonObject{{u"id"_s, project.id}, {u"name"_s, project.name}}},
    };
    if (bare)
        return event;
    const Plan &plan = plans[(h >> 28) % plans.size()];
    event.insert(u"amount"_s, plan.amount);
    event.insert(u"interval"_s, plan.interval);
    event.insert(u"plan_name"_s, plan.name);
    const quint64 who = h >> 36;
    if (who % 3 != 0)
        event.insert(u"customer_label"_s, customers[(who / 3) % customers.size()]);
    return event;
}

QJsonObject DemoBusiness::me() const
{
    return QJsonObject{
        {u"id"_s, u"acct_"_s + QString::number(hash(accountTag, 0) & 0xffffffffU, 16).rightJustified(8, u'0')},
        {u"name"_s, u"Dana Whitfield"_s},
        {u"email"_s, u"dana@example.com"_s},
        {u"currency"_s, m_settings.currency},
        {u"sound"_s, u"default"_s},
        {u"notify_cancellations"_s, true},
        {u"count_ending_subscriptions"_s, true},
    };
}

} // namespace vesko::devservice
