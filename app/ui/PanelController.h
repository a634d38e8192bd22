#pragma once

#include "AppModel.h"
#include "Palette.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

class QQmlContext;

namespace vesko {

class Refresh;
class SaleWatcher;
class UpdateNotices;

// What the panel's QML reads: every text comes from the presenters, every
// colour is resolved here, so the views only lay things out. Recomputed as a
// whole whenever the model or the appearance changes. One per view: each
// showing refreshes, and hiding cancels only the refresh its own showing began.
class PanelController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString block READ block NOTIFY changed)

    Q_PROPERTY(QString signInTitle READ signInTitle NOTIFY changed)
    Q_PROPERTY(QString signInSentence READ signInSentence NOTIFY changed)
    Q_PROPERTY(QString signInButtonTitle READ signInButtonTitle NOTIFY changed)
    Q_PROPERTY(bool signInButtonEnabled READ signInButtonEnabled NOTIFY changed)
    Q_PROPERTY(bool signInPending READ signInPending NOTIFY changed)
    Q_PROPERTY(QString cancelSignInTitle READ cancelSignInTitle CONSTANT)

    Q_PROPERTY(QString messageTitle READ messageTitle NOTIFY changed)
    Q_PROPERTY(QString messageText READ messageText NOTIFY changed)
    Q_PROPERTY(QString messageActionTitle READ messageActionTitle NOTIFY changed)

    Q_PROPERTY(QString heroCaption READ heroCaption NOTIFY changed)
    Q_PROPERTY(QString heroFigure READ heroFigure NOTIFY changed)
    Q_PROPERTY(QString heroGrowth READ heroGrowth NOTIFY changed)
    Q_PROPERTY(QString heroExactLine READ heroExactLine NOTIFY changed)
    Q_PROPERTY(QString heroExchangeNote READ heroExchangeNote NOTIFY changed)

    Q_PROPERTY(bool showsChannels READ showsChannels NOTIFY changed)
    Q_PROPERTY(QString channelsTitle READ channelsTitle NOTIFY changed)
    Q_PROPERTY(QVariantList channelRows READ channelRows NOTIFY changed)

    Q_PROPERTY(QString eventsTitle READ eventsTitle NOTIFY changed)
    Q_PROPERTY(QString eventsEmptyText READ eventsEmptyText NOTIFY changed)
    Q_PROPERTY(QVariantList eventRows READ eventRows NOTIFY changed)

    Q_PROPERTY(bool showsFooter READ showsFooter NOTIFY changed)
    Q_PROPERTY(QString refreshNote READ refreshNote NOTIFY changed)
    Q_PROPERTY(QString moreLabel READ moreLabel NOTIFY changed)
    Q_PROPERTY(QString openDashboardTitle READ openDashboardTitle NOTIFY changed)
    // A line above the footer about Vesko's own updates; empty for none.
    Q_PROPERTY(QString updateNote READ updateNote NOTIFY changed)
    Q_PROPERTY(QString updateActionTitle READ updateActionTitle NOTIFY changed)
    // The More menu: titles keyed by item, the menu-bar choices as
    // {title, style} in menu order, the current style as its enum value.
    Q_PROPERTY(QVariantMap menuTitles READ menuTitles CONSTANT)
    Q_PROPERTY(QVariantList menuBarChoices READ menuBarChoices NOTIFY changed)
    Q_PROPERTY(int menuBarStyle READ menuBarStyle WRITE setMenuBarStyle NOTIFY changed)

    Q_PROPERTY(bool hideAmounts READ hideAmounts WRITE setHideAmounts NOTIFY changed)
    Q_PROPERTY(bool offersSaleNotifications READ offersSaleNotifications CONSTANT)
    Q_PROPERTY(bool notifySales READ notifySales WRITE setNotifySales NOTIFY changed)

    Q_PROPERTY(vesko::Palette *colors READ colors CONSTANT)

public:
    // `now` dates the "… ago" texts; tests and screenshots pin it.
    PanelController(
        AppModel &model, Palette &palette,
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); }, QObject *parent = nullptr);
    ~PanelController() override;

    // Sets the context properties the panel's QML expects (`panel`, `colors`,
    // `sansFamily`, `displayFamily`) and the snout image provider.
    void expose(QQmlContext &context);

    QString block() const { return m_block; }
    QString signInTitle() const { return m_signInTitle; }
    QString signInSentence() const { return m_signInSentence; }
    QString signInButtonTitle() const { return m_signInButtonTitle; }
    bool signInButtonEnabled() const { return m_signInButtonEnabled; }
    bool signInPending() const { return m_signInPending; }
    QString cancelSignInTitle() const { return QStringLiteral("Cancel"); }
    QString messageTitle() const { return m_messageTitle; }
    QString messageText() const { return m_messageText; }
    QString messageActionTitle() const { return m_messageActionTitle; }
    QString heroCaption() const { return m_heroCaption; }
    QString heroFigure() const { return m_heroFigure; }
    QString heroGrowth() const { return m_heroGrowth; }
    QString heroExactLine() const { return m_heroExactLine; }
    QString heroExchangeNote() const { return m_heroExchangeNote; }
    bool showsChannels() const { return m_showsChannels; }
    QString channelsTitle() const { return m_channelsTitle; }
    QVariantList channelRows() const { return m_channelRows; }
    QString eventsTitle() const { return m_eventsTitle; }
    QString eventsEmptyText() const { return m_eventsEmptyText; }
    QVariantList eventRows() const { return m_eventRows; }
    bool showsFooter() const { return m_showsFooter; }
    QString refreshNote() const { return m_refreshNote; }
    QString moreLabel() const { return m_moreLabel; }
    QString openDashboardTitle() const { return m_openDashboardTitle; }
    QString updateNote() const;
    QString updateActionTitle() const;
    Palette *colors() const { return &m_palette; }
    QVariantMap menuTitles() const;
    QVariantList menuBarChoices() const;
    // Whether the desktop's tray draws the figure beside the snout; the
    // "Amount only" choice says so where it does not.
    void setTrayShowsText(bool shows);
    int menuBarStyle() const { return int(m_model.menuBarStyle()); }
    void setMenuBarStyle(int style);

    bool hideAmounts() const { return m_model.hideAmounts(); }
    void setHideAmounts(bool hide) { m_model.setHideAmounts(hide); }

    // The sale notifications' switch in the menu; without one, no entry.
    void setSaleWatcher(SaleWatcher *watcher);
    bool offersSaleNotifications() const { return m_sales != nullptr; }
    bool notifySales() const;
    void setNotifySales(bool enabled);

    // Where the update check's outcome goes; without, the check is silent.
    void setUpdateNotices(UpdateNotices *notices);

    // Width of a channel's bar fill in a track `available` wide.
    Q_INVOKABLE double barFillWidth(double available, double fraction) const;

    Q_INVOKABLE void shown();
    Q_INVOKABLE void hidden();
    Q_INVOKABLE void signIn();
    Q_INVOKABLE void cancelSignIn();
    Q_INVOKABLE void messageAction();
    Q_INVOKABLE void openDashboard();
    // Asks the login item each time: nothing here caches its state.
    Q_INVOKABLE bool readOpenAtLogin() const { return m_model.openAtLogin(); }
    Q_INVOKABLE void setOpenAtLogin(bool enabled) { m_model.setOpenAtLogin(enabled); }
    Q_INVOKABLE void openSettings();
    Q_INVOKABLE void checkForUpdates();
    Q_INVOKABLE void updateAction();
    Q_INVOKABLE void signOut();

signals:
    void changed();

private:
    void recompute();

    AppModel &m_model;
    Palette &m_palette;
    std::function<QDateTime()> m_now;
    QPointer<Refresh> m_showing;
    SaleWatcher *m_sales = nullptr;
    QPointer<UpdateNotices> m_updates;
    bool m_visible = false;
    bool m_messageRetries = true;

    QString m_block;
    QString m_signInTitle, m_signInSentence, m_signInButtonTitle;
    bool m_signInButtonEnabled = true;
    bool m_signInPending = false;
    QString m_messageTitle, m_messageText, m_messageActionTitle;
    QString m_heroCaption, m_heroFigure, m_heroGrowth, m_heroExactLine, m_heroExchangeNote;
    bool m_showsChannels = false;
    QString m_channelsTitle;
    QVariantList m_channelRows;
    QString m_eventsTitle, m_eventsEmptyText;
    QVariantList m_eventRows;
    bool m_showsFooter = false;
    bool m_trayShowsText = true;
    QString m_refreshNote, m_moreLabel, m_openDashboardTitle;
};

} // namespace vesko
