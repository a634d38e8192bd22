#include "app/core/AppcastUpdater.h"

#include "app/core/Appcast.h"
#include "kit/HttpSession.h"

#include <QNetworkRequest>
#include <QSettings>

#include <algorithm>
#include <climits>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QString lastCheckKey = u"updates/lastCheck"_s;
const QString announcedKey = u"updates/announcedVersion"_s;

} // namespace

AppcastUpdater::AppcastUpdater(QUrl feedUrl, const QString &currentVersion, QSettings &settings, HttpSession &session,
                               QObject *parent)
    : AppcastUpdater(std::move(feedUrl), currentVersion, settings, session, Schedule{}, parent)
{}

AppcastUpdater::AppcastUpdater(QUrl feedUrl, const QString &currentVersion, QSettings &settings, HttpSession &session,
                               Schedule schedule, QObject *parent)
    : Updater(parent),
      m_feedUrl(std::move(feedUrl)),
      m_current(Version::parse(currentVersion)),
      m_settings(settings),
      m_session(session),
      m_schedule(std::move(schedule))
{
    m_timer.setSingleShot(true);
    // Exact, so it wakes once: a coarse timer may fire early and need re-arming.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &AppcastUpdater::onTimer);

    const QDateTime now = m_schedule.clock();
    const QDateTime last = QDateTime::fromString(m_settings.value(lastCheckKey).toString(), Qt::ISODateWithMs);
    // A last check in the future means the clock was wrong then or is now:
    // check rather than wait for a time that may never come.
    const bool known = last.isValid() && last <= now;
    const QDateTime due = known ? last.addMSecs(m_schedule.interval.count()) : now;
    arm(std::max(due, now.addMSecs(m_schedule.startDelay.count())));
}

void AppcastUpdater::checkForUpdates()
{
    m_userWaiting = true;
    startCheck();
}

void AppcastUpdater::arm(const QDateTime &due)
{
    m_due = due;
    // QTimer counts in int milliseconds; onTimer() re-arms for what is left.
    const qint64 wait = std::clamp<qint64>(m_schedule.clock().msecsTo(due), 0, INT_MAX);
    m_timer.start(int(wait));
}

void AppcastUpdater::onTimer()
{
    // The timer runs on a monotonic clock and the due time is wall-clock
    // time; when they disagree (clock changed, long wait), wait for the rest.
    if (m_schedule.clock() < m_due) {
        arm(m_due);
        return;
    }
    m_automaticWaiting = true;
    startCheck();
}

void AppcastUpdater::startCheck()
{
    if (m_checking)
        return;
    m_checking = true;
    // HttpCall takes only an HTTP answer: a file: or other feed URL fails.
    QNetworkRequest request(m_feedUrl);
    request.setRawHeader("Accept", "application/rss+xml, application/xml;q=0.9, text/xml;q=0.8");
    m_call = APICall(HttpCall::start(m_session, request, "GET", {}, this, [this](const HttpOutcome &outcome) {
        if (outcome.error)
            finish(std::nullopt);
        else
            finish(Appcast::newestRelease(outcome.body, m_feedUrl));
    }));
}

void AppcastUpdater::finish(const std::optional<AppcastRelease> &release)
{
    m_checking = false;
    const bool user = std::exchange(m_userWaiting, false);
    const bool automatic = std::exchange(m_automaticWaiting, false);
    const QDateTime now = m_schedule.clock();

    if (release) {
        m_settings.setValue(lastCheckKey, now.toUTC().toString(Qt::ISODateWithMs));
        arm(now.addMSecs(m_schedule.interval.count()));
    } else if (automatic) {
        arm(now.addMSecs(std::min(m_schedule.retryDelay, m_schedule.interval).count()));
    }

    const bool newer = release && release->version > m_current;
    if (user) {
        if (newer)
            report(*release, true);
        else if (release)
            emit upToDate();
        else
            emit checkFailed();
    } else if (newer && Version::parse(m_settings.value(announcedKey).toString()) != release->version) {
        report(*release, false);
    }
}

void AppcastUpdater::report(const AppcastRelease &release, bool userInitiated)
{
    // Not yet announced: whoever shows it says so with markAnnounced().
    m_reported = release.version;
    emit updateAvailable(release.displayVersion, release.downloadPage, userInitiated);
}

void AppcastUpdater::markAnnounced()
{
    if (m_reported)
        m_settings.setValue(announcedKey, m_reported->text());
}

} // namespace vesko
