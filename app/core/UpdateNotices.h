#pragma once

#include "app/core/presenters/UpdateText.h"

#include <QObject>
#include <QUrl>

namespace vesko {

class Notifier;
class Updater;
class UrlOpener;

// What the user hears of Vesko's own updates. The outcome of their check is
// a line in the panel, or a notification when no panel shows by the time it
// comes. A version an automatic check found is a notification (a click opens
// its download page) and a line with a Download button; the updater hears
// that it was announced only once one of them reached the user.
class UpdateNotices : public QObject
{
    Q_OBJECT

public:
    // `notifier` is for updates alone: any click on one of its notifications
    // opens the download page.
    UpdateNotices(Updater &updater, Notifier &notifier, UrlOpener &urls, QString currentVersion,
                  QObject *parent = nullptr);

    // The user's "Check for updates…".
    void check();
    UpdateStatus status() const { return m_status; }
    UpdateText text() const;
    void openDownload();

    // A panel came up or went away; while one shows, its line is seen.
    void viewShown();
    void viewHidden();

signals:
    void changed();

private:
    void settle(UpdateStatus status, bool userInitiated);
    void announced();

    Updater &m_updater;
    Notifier &m_notifier;
    UrlOpener &m_urls;
    QString m_current;
    UpdateStatus m_status = UpdateStatus::none;
    QString m_version;
    QUrl m_page;
    int m_views = 0;
    bool m_unannounced = false;
};

} // namespace vesko
