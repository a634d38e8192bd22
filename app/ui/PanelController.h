#pragma once

#include "app/core/AppModel.h"
#include "app/core/RevenueHistory.h"
#include "app/core/presenters/ChannelRows.h"
#include "app/core/presenters/EventRows.h"
#include "app/core/presenters/FigureRow.h"
#include "app/core/presenters/FooterText.h"
#include "app/core/presenters/HeroText.h"
#include "app/core/presenters/PanelState.h"
#include "app/core/presenters/ProjectChoices.h"
#include "app/core/presenters/ProjectRows.h"
#include "app/core/presenters/TrendText.h"
#include "app/ui/Palette.h"
#include "app/ui/RowModel.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QtQmlIntegration>

#include <functional>

class QJSEngine;
class QQmlEngine;

namespace vesko {

using namespace Qt::StringLiterals;

class Refresh;
class RevenueHistory;
class MilestoneWatcher;
class SaleWatcher;
class UpdateNotices;

// What the panel's QML reads, as the singleton `Panel` of its engine: the
// presenters' texts whole, every colour resolved here, so the views only lay
// things out. Recomputed as a whole whenever the model or the appearance
// changes. One per view: each showing refreshes, and hiding cancels only the
// refresh its own showing began.
class PanelController : public QObject
{
    Q_OBJECT
    QML_NAMED_ELEMENT(Panel)
    QML_SINGLETON

    Q_PROPERTY(vesko::PanelState state READ state NOTIFY changed)
    Q_PROPERTY(bool signInPending READ signInPending NOTIFY changed)
    Q_PROPERTY(QString cancelSignInTitle READ cancelSignInTitle CONSTANT)
    Q_PROPERTY(vesko::HeroText hero READ hero NOTIFY changed)
    // The hero's line of the last 30 days and its week-on-week change.
    Q_PROPERTY(vesko::TrendText trend READ trend NOTIFY changed)
    // ARR and the subscription counts under the hero, or the note for an
    // account without revenue sources.
    Q_PROPERTY(vesko::FigureRow figures READ figures NOTIFY changed)
    Q_PROPERTY(vesko::RowModel *figureRows READ figureRows CONSTANT)
    Q_PROPERTY(vesko::ChannelRows channels READ channels NOTIFY changed)
    Q_PROPERTY(vesko::RowModel *channelRows READ channelRows CONSTANT)
    Q_PROPERTY(vesko::ProjectRows projects READ projects NOTIFY changed)
    Q_PROPERTY(vesko::RowModel *projectRows READ projectRows CONSTANT)
    Q_PROPERTY(vesko::EventRows events READ events NOTIFY changed)
    Q_PROPERTY(vesko::RowModel *eventRows READ eventRows CONSTANT)
    // The footer row and the titles of its More menu.
    Q_PROPERTY(vesko::FooterText footer READ footer NOTIFY changed)
    // The tray style choices in menu order: title, style and note.
    Q_PROPERTY(vesko::RowModel *trayStyleChoices READ trayStyleChoices CONSTANT)
    // "All projects" and each project, for the menu; empty without a choice.
    Q_PROPERTY(vesko::RowModel *projectChoices READ projectChoices CONSTANT)
    // The current choice, as its TrayStyle value.
    Q_PROPERTY(int trayStyle READ trayStyle WRITE setTrayStyle NOTIFY changed)
    // A line above the footer about Vesko's own updates; empty for none.
    Q_PROPERTY(QString updateNote READ updateNote NOTIFY changed)
    Q_PROPERTY(QString updateActionTitle READ updateActionTitle NOTIFY changed)

    Q_PROPERTY(bool hideAmounts READ hideAmounts WRITE setHideAmounts NOTIFY changed)
    Q_PROPERTY(bool offersSaleNotifications READ offersSaleNotifications CONSTANT)
    Q_PROPERTY(bool notifySales READ notifySales WRITE setNotifySales NOTIFY changed)
    Q_PROPERTY(bool offersMilestoneNotifications READ offersMilestoneNotifications CONSTANT)
    Q_PROPERTY(bool notifyMilestones READ notifyMilestones WRITE setNotifyMilestones NOTIFY changed)

    Q_PROPERTY(vesko::Palette *colors READ colors CONSTANT)
    Q_PROPERTY(QString sansFamily READ sansFamily CONSTANT)
    Q_PROPERTY(QString displayFamily READ displayFamily CONSTANT)

public:
    // `now` dates the "… ago" texts; tests and screenshots pin it.
    PanelController(
        AppModel &model, Palette &palette,
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); }, QObject *parent = nullptr);
    ~PanelController() override;

    // Makes this the `Panel` of what `engine` loads from Vesko.Panel, and adds
    // the snout image provider. Before the engine loads any of it.
    void expose(QQmlEngine &engine);
    // The engine's `Panel`, as exposed; the QML engine calls it.
    static PanelController *create(QQmlEngine *engine, QJSEngine *);

    const PanelState &state() const { return m_state; }
    bool signInPending() const { return m_model.isSignInPending(); }
    QString cancelSignInTitle() const { return u"Cancel"_s; }
    const HeroText &hero() const { return m_hero; }
    const TrendText &trend() const { return m_trend; }
    const FigureRow &figures() const { return m_figures; }
    RowModel *figureRows() { return &m_figureRows; }
    const ChannelRows &channels() const { return m_channels; }
    RowModel *channelRows() { return &m_channelRows; }
    const ProjectRows &projects() const { return m_projects; }
    RowModel *projectRows() { return &m_projectRows; }
    const EventRows &events() const { return m_events; }
    RowModel *eventRows() { return &m_eventRows; }
    const FooterText &footer() const { return m_footer; }
    RowModel *trayStyleChoices() { return &m_trayStyleChoices; }
    RowModel *projectChoices() { return &m_projectChoices; }
    QString updateNote() const;
    QString updateActionTitle() const;
    Palette *colors() const { return &m_palette; }
    QString sansFamily() const;
    QString displayFamily() const;

    // Whether the desktop's tray draws the figure beside the snout; the
    // "Amount only" choice says so where it does not.
    void setTrayShowsText(bool shows);
    int trayStyle() const { return static_cast<int>(m_model.trayStyle()); }
    void setTrayStyle(int style);

    bool hideAmounts() const { return m_model.hideAmounts(); }
    void setHideAmounts(bool hide) { m_model.setHideAmounts(hide); }

    // The sale notifications' switch in the menu; without one, no entry.
    void setSaleWatcher(SaleWatcher *watcher);
    bool offersSaleNotifications() const { return m_sales != nullptr; }
    bool notifySales() const;
    void setNotifySales(bool enabled);

    // The milestones' switch in the menu; without a watcher, no entry.
    void setMilestoneWatcher(MilestoneWatcher *watcher);
    bool offersMilestoneNotifications() const { return m_milestones != nullptr; }
    bool notifyMilestones() const;
    void setNotifyMilestones(bool enabled);

    // Where the trend line's figures come from; without, the hero has none.
    void setHistory(RevenueHistory *history);

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
    // A row of the "By project" card, or a project in the menu: the figures
    // become that project's ("all": the whole account's).
    Q_INVOKABLE void chooseProject(const QString &id);
    // Asks the login item each time: nothing here caches its state.
    Q_INVOKABLE bool readOpenAtLogin() const { return m_model.openAtLogin(); }
    Q_INVOKABLE void setOpenAtLogin(bool enabled) { m_model.setOpenAtLogin(enabled); }
    Q_INVOKABLE void openSettings();
    Q_INVOKABLE void checkForUpdates();
    Q_INVOKABLE void updateAction();
    Q_INVOKABLE void signOut();

signals:
    void changed();
    void projectChosen(const QString &id);

private:
    void recompute();
    TrendText readTrend(const Summary &summary, const QDateTime &now);

    AppModel &m_model;
    Palette &m_palette;
    std::function<QDateTime()> m_now;
    QPointer<Refresh> m_showing;
    SaleWatcher *m_sales = nullptr;
    MilestoneWatcher *m_milestones = nullptr;
    QPointer<UpdateNotices> m_updates;
    RevenueHistory *m_history = nullptr;
    bool m_visible = false;
    bool m_trayShowsText = true;

    PanelState m_state;
    HeroText m_hero;
    TrendText m_trend;
    FigureRow m_figures;
    RowModel m_figureRows{Figure::staticMetaObject, this};
    ChannelRows m_channels;
    RowModel m_channelRows{ChannelRow::staticMetaObject, this};
    ProjectRows m_projects;
    RowModel m_projectRows{ProjectRow::staticMetaObject, this};
    EventRows m_events;
    RowModel m_eventRows{EventRow::staticMetaObject, this};
    FooterText m_footer;
    RowModel m_trayStyleChoices{TrayStyleChoice::staticMetaObject, this};
    RowModel m_projectChoices{ProjectChoice::staticMetaObject, this};
    // The history read for the trend, and for which account, scope, currency
    // and refresh: read again only when one of them moves.
    QString m_trendKey;
    QList<MrrReading> m_trendReadings;
};

} // namespace vesko
