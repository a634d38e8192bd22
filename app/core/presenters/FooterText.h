#pragma once

#include "app/core/TrayStyle.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

namespace vesko {

// One option of the "Show in menu bar" choice.
struct TrayStyleChoice
{
    Q_GADGET
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(vesko::TrayStyle style MEMBER style CONSTANT)
    Q_PROPERTY(QString note MEMBER note CONSTANT)

public:
    QString title;
    TrayStyle style = TrayStyle::both;
    QString note; // a line under the title; empty for none
};

// The footer row and its menu, items top to bottom.
struct FooterText
{
    Q_GADGET
    Q_PROPERTY(QString refreshNote MEMBER refreshNote CONSTANT)
    Q_PROPERTY(QString scope MEMBER scope CONSTANT)
    Q_PROPERTY(QString showProject MEMBER showProject CONSTANT)
    Q_PROPERTY(QString notifyMilestones MEMBER notifyMilestones CONSTANT)
    Q_PROPERTY(QString menuLabel MEMBER menuLabel CONSTANT)
    Q_PROPERTY(QString accountSettings MEMBER accountSettings CONSTANT)
    Q_PROPERTY(QString showInTray MEMBER showInTray CONSTANT)
    Q_PROPERTY(QString openAtLogin MEMBER openAtLogin CONSTANT)
    Q_PROPERTY(QString notifySales MEMBER notifySales CONSTANT)
    Q_PROPERTY(QString hideAmounts MEMBER hideAmounts CONSTANT)
    Q_PROPERTY(QString checkForUpdates MEMBER checkForUpdates CONSTANT)
    Q_PROPERTY(QString signOut MEMBER signOut CONSTANT)
    Q_PROPERTY(QString quit MEMBER quit CONSTANT)
    Q_PROPERTY(QString openDashboard MEMBER openDashboard CONSTANT)

public:
    QString refreshNote; // empty when never refreshed; the project first when one is chosen
    QString scope;       // the chosen project's name; empty for the whole account
    QString showProject; // the title of the project choice
    QString notifyMilestones;
    QString menuLabel; // spoken name of the three-dot button
    QString accountSettings;
    QString showInTray;
    QList<TrayStyleChoice> trayStyleChoices;
    QString openAtLogin;
    QString notifySales;
    QString hideAmounts;
    QString checkForUpdates;
    QString signOut;
    QString quit;
    QString openDashboard;
};

// "Updated 12 min ago", "Updated just now"; empty for an invalid `refreshedAt`
// (the model's "never refreshed").
QString refreshNote(const QDateTime &refreshedAt, const QDateTime &now);
// `trayShowsText`: whether the desktop's tray draws the figure beside the
// snout; where it does not, "Amount only" keeps the snout and says so.
// `scope`: the title of what the figures are of, named only when `scoped` to one project.
FooterText footerText(const QDateTime &refreshedAt, const QDateTime &now, bool trayShowsText = true,
                      const QString &scope = {}, bool scoped = false);

} // namespace vesko
