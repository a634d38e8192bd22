#include "app/core/AppModel.h"

#include "app/core/BrowserSession.h"
#include "app/core/CallbackCode.h"
#include "app/core/HostName.h"
#include "app/core/LoginItem.h"
#include "app/core/PlainSleepTimer.h"
#include "app/core/SecretStore.h"
#include "app/core/SleepTimer.h"
#include "app/core/Updater.h"
#include "app/core/UrlOpener.h"
#include "app/core/WakeMonitor.h"
#include "kit/Money.h"
#include "kit/PKCE.h"

#include <QSettings>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QString styleKey = u"VeskoMenuBarStyle"_s;
const QString hideAmountsKey = u"VeskoHideAmounts"_s;
const QString projectKey = u"VeskoProject"_s;

} // namespace

AppModel::AppModel(Environment environment, QObject *parent)
    : QObject(parent),
      m_config(std::move(environment.config)),
      m_secrets(environment.secrets),
      m_http(environment.http),
      m_settings(environment.settings),
      m_loginItem(environment.loginItem),
      m_urls(environment.urls),
      m_hostName(environment.hostName),
      m_browserSessions(std::move(environment.browserSessions)),
      m_loopTimer(environment.loopTimer ? std::move(environment.loopTimer) : std::make_unique<PlainSleepTimer>()),
      m_updater(environment.updater),
      m_now(std::move(environment.now)),
      m_interval(environment.interval),
      m_platform(std::move(environment.platform))
{
    m_trayStyle = trayStyleFromRaw(m_settings.value(styleKey).toString()).value_or(TrayStyle::both);
    // Only a stored "true" hides: anything else must not leave amounts hidden by accident.
    m_hideAmounts = m_settings.value(hideAmountsKey).toString() == u"true";
    if (const QString stored = m_settings.value(projectKey).toString(); !stored.isEmpty())
        m_projectScope = stored;
    connect(m_loopTimer.get(), &SleepTimer::timeout, this, &AppModel::loopTurn);
    if (environment.tokenInBackground) {
        m_tokenPending = true;
        m_phase = Phase::loading();
        m_secrets.loadLater(this, [this](std::optional<QString> token) { takeStoredToken(std::move(token)); });
    } else {
        m_token = m_secrets.load();
        if (m_token) {
            m_phase = Phase::loading();
            startLoop();
        }
    }
    // A wake refreshes once; the loop keeps its own schedule.
    if (environment.wake)
        connect(environment.wake, &WakeMonitor::woke, this, [this] { refresh(); });
}

AppModel::~AppModel()
{
    stopLoop();
}

// Refresh and loop ---------------------------------------------------------

QPointer<Refresh> AppModel::refresh()
{
    if (!m_token)
        return nullptr;
    auto *refresh = new Refresh(APIClient(m_config, m_token, m_http), m_projectScope, this);
    connect(refresh, &Refresh::finished, this, [this, refresh, scope = m_projectScope](const Refresh::Result &result) {
        // Signed out, or signed in anew, or another project chosen since this
        // one started: not ours to show.
        if (!m_token || *m_token != refresh->token() || scope != m_projectScope)
            return;
        if (const auto *data = std::get_if<Refresh::Data>(&result))
            publish(*data);
        else
            fail(std::get<Refresh::Failure>(result));
    });
    return refresh;
}

void AppModel::publish(Refresh::Data data)
{
    const bool projectGone =
        m_projectScope != allProjects
        && std::none_of(data.projects.cbegin(), data.projects.cend(),
                        [this](const ProjectAmount &project) { return project.id() == m_projectScope; });
    setProjects(std::move(data.projects));
    if (projectGone) {
        setProjectScope(QString(allProjects));
        return;
    }
    updatingLabel([&] {
        if (m_summary != data.summary) {
            m_summary = std::move(data.summary);
            emit summaryChanged();
        }
    });
    if (m_events != data.events) {
        m_events = std::move(data.events);
        emit eventsChanged();
    }
    if (m_me != data.me) {
        m_me = std::move(data.me);
        emit meChanged();
    }
    const QDateTime now = m_now();
    if (m_refreshedAt != now) {
        m_refreshedAt = now;
        emit refreshedAtChanged();
    }
    setPhase(Phase::ready());
    emit refreshed();
}

void AppModel::fail(const Refresh::Failure &failure)
{
    const APIError *error = std::get_if<APIError>(&failure);
    if (error && error->kind() == APIError::Case::unauthorized) {
        // Only the refused token leaves the keyring: another process (the
        // tray, or `vesko status`) may have stored a new one since this one
        // was read.
        stopLoop();
        if (m_token)
            m_secrets.removeIfStill(*m_token);
        forgetSession();
        return;
    }
    // The chosen project is no longer the account's.
    if (error && error->kind() == APIError::Case::status && error->code() == 404 && m_projectScope != allProjects) {
        setProjectScope(QString(allProjects));
        return;
    }
    // With figures on screen, a failed refresh changes nothing: they stay,
    // with the time they were fetched.
    if (m_summary)
        return;
    const bool offline = error && error->kind() == APIError::Case::offline;
    setPhase(Phase::failed(offline ? Phase::offlineMessage() : Phase::loadFailedMessage()));
}

void AppModel::startLoop()
{
    stopLoop();
    m_loopRunning = true;
    emit loopChanged(); // a new loop, even if one ran before
    loopTurn();
}

void AppModel::loopTurn()
{
    if (!m_loopRunning)
        return;
    m_loopRefresh = refresh();
    if (!m_loopRefresh) {
        m_loopTimer->start(m_interval);
        return;
    }
    // The next turn is due one interval after this refresh ends, however it
    // ends. (It is only ever cancelled together with the loop.)
    connect(m_loopRefresh, &Refresh::finished, this, [this, refresh = m_loopRefresh.data()] {
        if (m_loopRunning && m_loopRefresh == refresh)
            m_loopTimer->start(m_interval);
    });
}

void AppModel::stopLoop()
{
    const bool wasRunning = m_loopRunning;
    m_loopRunning = false;
    m_loopTimer->stop();
    if (m_loopRefresh)
        m_loopRefresh->cancel();
    m_loopRefresh = nullptr;
    if (wasRunning)
        emit loopChanged();
}

void AppModel::clearSession()
{
    stopLoop();
    m_secrets.remove();
    forgetSession();
}

void AppModel::forgetSession()
{
    stopLoop();
    setToken(std::nullopt);
    dropFigures();
    if (m_me) {
        m_me.reset();
        emit meChanged();
    }
    // The next account may have none of these projects.
    setProjects({});
    if (m_projectScope != allProjects) {
        m_projectScope = allProjects;
        m_settings.remove(projectKey);
        emit projectScopeChanged();
    }
    setPhase(Phase::signedOut());
}

void AppModel::setProjects(QList<ProjectAmount> projects)
{
    if (m_projects == projects)
        return;
    m_projects = std::move(projects);
    emit projectsChanged();
}

void AppModel::setProjectScope(const QString &scope)
{
    const QString chosen = scope.isEmpty() ? QString(allProjects) : scope;
    if (chosen == m_projectScope)
        return;
    m_projectScope = chosen;
    if (chosen == allProjects)
        m_settings.remove(projectKey);
    else
        m_settings.setValue(projectKey, chosen);
    emit projectScopeChanged();
    if (m_token)
        scopeChanged();
}

void AppModel::dropFigures()
{
    updatingLabel([&] {
        if (m_summary) {
            m_summary.reset();
            emit summaryChanged();
        }
    });
    if (!m_events.isEmpty()) {
        m_events.clear();
        emit eventsChanged();
    }
}

void AppModel::scopeChanged()
{
    // The old scope's figures must not stand under the new one's name.
    dropFigures();
    setPhase(Phase::loading());
    if (m_loopRunning)
        startLoop(); // now, and the next turn an interval after
    else
        refresh();
}

void AppModel::setPhase(const Phase &phase)
{
    if (m_phase == phase)
        return;
    m_phase = phase;
    emit phaseChanged();
}

void AppModel::setToken(std::optional<QString> token)
{
    const bool settles = std::exchange(m_tokenPending, false);
    if (m_token != token) {
        m_token = std::move(token);
        emit tokenChanged();
    }
    if (settles)
        emit tokenSettled();
}

void AppModel::takeStoredToken(std::optional<QString> token)
{
    // A sign-in or sign-out since start knows better than the keyring did.
    if (!m_tokenPending)
        return;
    if (token) {
        setToken(std::move(token));
        startLoop();
        return;
    }
    // A sign-in already under way keeps its phase.
    if (!m_authSession)
        setPhase(Phase::signedOut());
    setToken(std::nullopt);
}

// Sign-in and sign-out -----------------------------------------------------

void AppModel::signIn()
{
    // Supersedes any attempt still under way, an exchange in flight included.
    ++m_signInAttempt;
    setSignInNotice(SignInNotice::none);
    const PKCE pkce;
    QString name = m_hostName.userVisibleName();
    if (name.isEmpty())
        name = u"Linux"_s;
    const QUrl url = m_config.connectURL(pkce.challenge(), m_platform, name);
    setPhase(Phase::signingIn());

    std::unique_ptr<BrowserSession> session = m_browserSessions();
    BrowserSession *raw = session.get();
    // The verifier lives in this attempt's completion and nowhere else.
    connect(raw, &BrowserSession::finished, this,
            [this, raw, verifier = pkce.verifier()](const std::optional<QUrl> &callback, bool failed) {
                finishSignIn(raw, callback, failed, verifier);
            });
    setAuthSession(std::move(session));
    raw->start(url);
}

void AppModel::setAuthSession(std::unique_ptr<BrowserSession> session)
{
    // A session replaced by a newer sign-in is dropped: its late end (an
    // expiry, say) must not undo what the newer one did.
    if (m_authSession) {
        m_authSession->disconnect(this);
        m_authSession.release()->deleteLater();
    }
    const bool changed = m_authSession || session;
    m_authSession = std::move(session);
    if (changed)
        emit authSessionChanged();
}

void AppModel::cancelSignIn()
{
    if (!m_authSession)
        return;
    // The session ends right here; any other end without a callback is an expiry.
    m_cancellingSignIn = true;
    m_authSession->cancel();
    m_cancellingSignIn = false;
}

bool AppModel::handleCallback(const QUrl &callback)
{
    if (m_authSession)
        return m_authSession->receive(callback);
    // Never exchanged (the verifier is gone with the attempt), but not dropped unseen either.
    if (m_signInNotice == SignInNotice::expired && callback.scheme() == u"vesko" && callbackCode(callback))
        setSignInNotice(SignInNotice::lateApproval);
    return false;
}

void AppModel::setSignInNotice(SignInNotice notice)
{
    if (m_signInNotice == notice)
        return;
    m_signInNotice = notice;
    emit signInNoticeChanged();
}

void AppModel::finishSignIn(BrowserSession *session, const std::optional<QUrl> &callback, bool failed,
                            const QString &verifier)
{
    if (session != m_authSession.get())
        return;
    const std::optional<QString> code = callback ? callbackCode(*callback) : std::nullopt;
    setAuthSession(nullptr);

    if (!code) {
        // A browser given up on says nothing; a callback without a code does,
        // and so does a sign-in that nobody answered in time.
        if (failed && !callback && !m_cancellingSignIn)
            setSignInNotice(SignInNotice::expired);
        setPhase(failed ? Phase::signedOut() : Phase::failed(Phase::signInFailedMessage()));
        return;
    }
    const quint64 attempt = ++m_signInAttempt;
    APIClient(m_config, std::nullopt, m_http)
        .exchange(*code, verifier, this, [this, attempt](Outcome<QString> outcome) {
            const QString *token = std::get_if<QString>(&outcome);
            if (attempt != m_signInAttempt) {
                // Abandoned (a newer sign-in, or a sign-out): its token is never
                // stored, and must not stay live at the service either.
                if (token)
                    APIClient(m_config, *token, m_http).signOut(nullptr, [](std::optional<APIError>) {});
                return;
            }
            if (!token) {
                setPhase(Phase::failed(Phase::signInFailedMessage()));
                return;
            }
            m_secrets.save(*token);
            setToken(*token);
            setPhase(Phase::loading());
            startLoop();
            if (onSignedIn)
                onSignedIn();
        });
}

void AppModel::signOut()
{
    // Revoked in the background with the token it still has; nobody waits.
    APIClient(m_config, m_token, m_http).signOut(nullptr, [](std::optional<APIError>) {});
    ++m_signInAttempt;
    clearSession();
    emit signedOut();
}

// Preferences and account actions -------------------------------------------

template <typename Change>
void AppModel::updatingLabel(Change change)
{
    const std::optional<QString> text = trayLabel();
    const bool snout = showsSnout();
    const QString spoken = spokenLabel();
    change();
    if (text != trayLabel())
        emit trayLabelChanged();
    if (snout != showsSnout())
        emit showsSnoutChanged();
    if (spoken != spokenLabel())
        emit spokenLabelChanged();
}

void AppModel::setTrayStyle(TrayStyle style)
{
    updatingLabel([&] {
        if (m_trayStyle != style) {
            m_trayStyle = style;
            emit trayStyleChanged();
        }
    });
    // Rewritten even when unchanged, so an unusable stored value is mended.
    m_settings.setValue(styleKey, rawValue(style));
}

void AppModel::setHideAmounts(bool hide)
{
    m_settings.setValue(hideAmountsKey, hide);
    if (hide == m_hideAmounts)
        return;
    updatingLabel([&] { m_hideAmounts = hide; });
    emit hideAmountsChanged();
}

std::optional<QString> AppModel::trayLabel() const
{
    if (m_trayStyle == TrayStyle::snout || !m_summary)
        return std::nullopt;
    const Money::Mask mask(m_hideAmounts);
    return Money::compact(m_summary->mrr(), m_summary->currency());
}

bool AppModel::showsSnout() const
{
    return m_trayStyle != TrayStyle::amount || !trayLabel();
}

QString AppModel::spokenLabel() const
{
    if (!m_summary)
        return u"Vesko"_s;
    const Money::Mask mask(m_hideAmounts);
    return u"Vesko, MRR "_s + Money::spokenAmount(Money::compact(m_summary->mrr(), m_summary->currency()));
}

bool AppModel::openAtLogin() const
{
    return m_loginItem.isEnabled();
}

void AppModel::setOpenAtLogin(bool enabled)
{
    m_loginItem.setEnabled(enabled);
}

void AppModel::openDashboard()
{
    m_urls.open(appendingPath(m_config.webURL(), u"app"));
}

void AppModel::openSettings()
{
    m_urls.open(appendingPath(m_config.webURL(), u"app/settings"));
}

void AppModel::registerPush(const QString &tokenText)
{
    // A device that failed to register just gets no pushes; the next launch
    // or sign-in tries again.
    APIClient(m_config, m_token, m_http)
        .registerDevice(m_platform, tokenText, u"production"_s, this, [](std::optional<APIError>) {});
}

} // namespace vesko
