#pragma once

#include "app/core/Phase.h"
#include "app/core/Refresh.h"
#include "app/core/SignInNotice.h"
#include "app/core/TrayStyle.h"
#include "kit/HttpSession.h"
#include "kit/Me.h"
#include "kit/Summary.h"
#include "kit/VeskoConfig.h"
#include "kit/VeskoEvent.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QSettings;

namespace vesko {

using namespace Qt::StringLiterals;

class BrowserSession;
class HostName;
class LoginItem;
class SecretStore;
class SleepTimer;
class Updater;
class UrlOpener;
class WakeMonitor;

// The single source of truth of the running application: sign-in state, the
// last service data and the refresh loop that polls every minute while a
// token is held. Lives on the main thread; every setter notifies only when
// the value really changes.
class AppModel : public QObject
{
    Q_OBJECT

public:
    // Everything the model reaches outside itself, passed in so tests can
    // use fakes, short intervals and a fixed clock.
    struct Environment
    {
        VeskoConfig config;
        SecretStore &secrets;
        HttpSession &http;
        QSettings &settings;
        LoginItem &loginItem;
        UrlOpener &urls;
        HostName &hostName;
        std::function<std::unique_ptr<BrowserSession>()> browserSessions;
        std::unique_ptr<SleepTimer> loopTimer; // null: a plain QTimer
        WakeMonitor *wake = nullptr;
        Updater *updater = nullptr;
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
        std::chrono::milliseconds interval = std::chrono::seconds(60);
        QString platform = u"linux"_s;
        // Reads the stored token without waiting for it (the tray: its item
        // goes up first); phase() is loading until it is known.
        bool tokenInBackground = false;
    };

    explicit AppModel(Environment environment, QObject *parent = nullptr);
    ~AppModel() override;

    const Phase &phase() const { return m_phase; }
    const std::optional<Summary> &summary() const { return m_summary; }
    const QList<VeskoEvent> &events() const { return m_events; }
    const std::optional<Me> &me() const { return m_me; }
    QDateTime refreshedAt() const { return m_refreshedAt.value_or(QDateTime()); }
    const std::optional<QString> &token() const { return m_token; }
    bool isSignedIn() const { return m_token.has_value(); }
    // The stored token is still being read: not yet signed in or out.
    bool isTokenPending() const { return m_tokenPending; }
    bool isLooping() const { return m_loopRunning; }
    bool isSignInPending() const { return m_authSession != nullptr; }
    SignInNotice signInNotice() const { return m_signInNotice; }
    const VeskoConfig &config() const { return m_config; }
    Updater *updater() const { return m_updater; }

    TrayStyle trayStyle() const { return m_trayStyle; }
    void setTrayStyle(TrayStyle style);
    std::optional<QString> trayLabel() const;
    QString trayLabelOrEmpty() const { return trayLabel().value_or(QString()); }
    bool showsSnout() const;
    QString spokenLabel() const;

    bool openAtLogin() const;
    void setOpenAtLogin(bool enabled);

    // The privacy switch: amounts in the tray, the panel and notifications
    // read "$•••" while it is on (for screen sharing). Stored in the settings.
    bool hideAmounts() const { return m_hideAmounts; }
    void setHideAmounts(bool hide);

    // The project the figures are of: `allProjects`, or one project's id.
    // Stored in the settings; a project the account no longer has, and a
    // sign-out, fall back to all of them.
    const QString &projectScope() const { return m_projectScope; }
    void setProjectScope(const QString &scope);
    // The account's projects as the last refresh named them, in service order.
    const QList<ProjectAmount> &projects() const { return m_projects; }

    // Called after every successful sign-in.
    std::function<void()> onSignedIn;

    // Fetches summary, events and account record and publishes all three, or
    // maps the first failure. The handle lets a caller cancel it; a cancelled
    // refresh, or one whose token is no longer current, publishes nothing.
    QPointer<Refresh> refresh();
    Q_INVOKABLE void refreshNow() { refresh(); }
    Q_INVOKABLE void startLoop();
    Q_INVOKABLE void clearSession();

    Q_INVOKABLE void signIn();
    Q_INVOKABLE void cancelSignIn();
    Q_INVOKABLE void signOut();
    // A vesko: URL from the browser. Taken only while a sign-in of ours waits
    // for one; an approval after that sign-in expired only tells the user so.
    bool handleCallback(const QUrl &callback);

    Q_INVOKABLE void openDashboard();
    Q_INVOKABLE void openSettings();

    // Tells the service where to push for this device, with the token held
    // now (none: the request goes without one). The outcome changes nothing.
    void registerPush(const QString &tokenText);

signals:
    void phaseChanged();
    void summaryChanged();
    void eventsChanged();
    void meChanged();
    void refreshedAtChanged();
    void tokenChanged();
    // The stored token is known, or a sign-in or sign-out came first.
    void tokenSettled();
    void loopChanged();
    void authSessionChanged();
    void signInNoticeChanged();
    void trayStyleChanged();
    void trayLabelChanged();
    void showsSnoutChanged();
    void spokenLabelChanged();
    void hideAmountsChanged();
    void projectScopeChanged();
    void projectsChanged();
    // A refresh published its data (each time, even when nothing changed).
    void refreshed();
    // The user signed out (not a token the service refused): what the
    // machine keeps of the account goes with it.
    void signedOut();

private:
    void setPhase(const Phase &phase);
    void setToken(std::optional<QString> token);
    void takeStoredToken(std::optional<QString> token);
    // Everything clearSession() does but the keyring.
    void forgetSession();
    void setSignInNotice(SignInNotice notice);
    void publish(Refresh::Data data);
    void fail(const Refresh::Failure &failure);
    void stopLoop();
    void loopTurn();
    void finishSignIn(BrowserSession *session, const std::optional<QUrl> &callback, bool failed,
                      const QString &verifier);
    void setAuthSession(std::unique_ptr<BrowserSession> session);
    void setProjects(QList<ProjectAmount> projects);
    // Drops the figures of the scope that was, and fetches those of the new one.
    void scopeChanged();
    // The summary and the feed, gone; the account record stays.
    void dropFigures();
    // Runs `change`, then tells the derived tray values' observers what moved.
    template <typename Change>
    void updatingLabel(Change change);

    VeskoConfig m_config;
    SecretStore &m_secrets;
    HttpSession &m_http;
    QSettings &m_settings;
    LoginItem &m_loginItem;
    UrlOpener &m_urls;
    HostName &m_hostName;
    std::function<std::unique_ptr<BrowserSession>()> m_browserSessions;
    std::unique_ptr<SleepTimer> m_loopTimer;
    Updater *m_updater;
    std::function<QDateTime()> m_now;
    std::chrono::milliseconds m_interval;
    QString m_platform;

    Phase m_phase;
    std::optional<Summary> m_summary;
    QList<VeskoEvent> m_events;
    std::optional<Me> m_me;
    std::optional<QDateTime> m_refreshedAt;
    std::optional<QString> m_token;
    bool m_tokenPending = false;
    bool m_loopRunning = false;
    QPointer<Refresh> m_loopRefresh;
    std::unique_ptr<BrowserSession> m_authSession;
    quint64 m_signInAttempt = 0;
    bool m_cancellingSignIn = false;
    SignInNotice m_signInNotice = SignInNotice::none;
    TrayStyle m_trayStyle = TrayStyle::both;
    bool m_hideAmounts = false;
    QString m_projectScope{allProjects};
    QList<ProjectAmount> m_projects;
};

} // namespace vesko
