#pragma once

#include "app/core/AppcastRelease.h"
#include "app/core/Updater.h"
#include "app/core/Version.h"
#include "kit/HttpCall.h"

#include <QDateTime>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class QSettings;

namespace vesko {

class HttpSession;

// Checks a Sparkle appcast for a newer Vesko and points at its download page.
//
// Automatic checks: one due `interval` after the last completed check (kept in
// the settings, so the schedule survives restarts), but never sooner than
// `startDelay` after construction; a failed one is tried again after
// `retryDelay`. They stay silent unless they find an update the user has not
// been told about yet: until markAnnounced() says the news reached the user,
// each automatic check reports it again. One single-shot timer waits for the
// next due time.
//
// checkForUpdates() checks at once and answers with exactly one signal. While
// a check runs, another call joins it instead of sending a second request.
class AppcastUpdater : public Updater
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    struct Schedule
    {
        std::chrono::milliseconds interval = std::chrono::hours(24);
        std::chrono::milliseconds startDelay = std::chrono::seconds(30);
        std::chrono::milliseconds retryDelay = std::chrono::hours(1);
        Clock clock = [] { return QDateTime::currentDateTimeUtc(); };
    };

    AppcastUpdater(QUrl feedUrl, const QString &currentVersion, QSettings &settings, HttpSession &session,
                   QObject *parent = nullptr);
    AppcastUpdater(QUrl feedUrl, const QString &currentVersion, QSettings &settings, HttpSession &session,
                   Schedule schedule, QObject *parent = nullptr);

    void checkForUpdates() override;
    void markAnnounced() override;

    // The wall-clock time the timer waits for.
    QDateTime nextAutomaticCheck() const { return m_due; }

private:
    void arm(const QDateTime &due);
    void onTimer();
    void startCheck();
    void finish(const std::optional<AppcastRelease> &release);
    void report(const AppcastRelease &release, bool userInitiated);

    QUrl m_feedUrl;
    Version m_current;
    QSettings &m_settings;
    HttpSession &m_session;
    Schedule m_schedule;
    QTimer m_timer;
    QDateTime m_due;
    APICall m_call;
    std::optional<Version> m_reported;
    bool m_checking = false;
    // Who waits for the running check: both may.
    bool m_automaticWaiting = false;
    bool m_userWaiting = false;
};

} // namespace vesko
