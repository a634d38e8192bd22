#include "app/core/UpdateNotices.h"

#include "app/core/Notifier.h"
#include "app/core/Updater.h"
#include "app/core/UrlOpener.h"

namespace vesko {

UpdateNotices::UpdateNotices(Updater &updater, Notifier &notifier, UrlOpener &urls, QString currentVersion,
                             QObject *parent)
    : QObject(parent),
      m_updater(updater),
      m_notifier(notifier),
      m_urls(urls),
      m_current(std::move(currentVersion))
{
    connect(&m_updater, &Updater::updateAvailable, this,
            [this](const QString &version, const QUrl &page, bool userInitiated) {
                m_version = version;
                m_page = page;
                m_unannounced = true;
                settle(UpdateStatus::available, userInitiated);
            });
    connect(&m_updater, &Updater::upToDate, this, [this] { settle(UpdateStatus::upToDate, true); });
    connect(&m_updater, &Updater::checkFailed, this, [this] { settle(UpdateStatus::failed, true); });
    connect(&m_notifier, &Notifier::clicked, this, &UpdateNotices::openDownload);
}

void UpdateNotices::check()
{
    m_status = UpdateStatus::checking;
    emit changed();
    m_updater.checkForUpdates();
}

UpdateText UpdateNotices::text() const
{
    return updateText(m_status, m_status == UpdateStatus::available ? m_version : m_current);
}

void UpdateNotices::openDownload()
{
    if (m_status == UpdateStatus::available && m_page.isValid())
        m_urls.open(m_page);
}

void UpdateNotices::settle(UpdateStatus status, bool userInitiated)
{
    m_status = status;
    emit changed();
    // The user looks at the panel they asked from; a find of the automatic
    // check, or an answer that comes after the panel closed, needs telling.
    const bool seen = m_views > 0;
    if ((!userInitiated || !seen) && m_notifier.isAvailable()) {
        m_notifier.show(text().notification);
        announced();
    } else if (seen) {
        announced();
    }
}

void UpdateNotices::announced()
{
    if (m_status == UpdateStatus::available && std::exchange(m_unannounced, false))
        m_updater.markAnnounced();
}

void UpdateNotices::viewShown()
{
    if (m_views++ == 0 && (m_status == UpdateStatus::upToDate || m_status == UpdateStatus::failed)) {
        // Said once; a panel shown afterwards starts clean.
        m_status = UpdateStatus::none;
        emit changed();
    }
    announced();
}

void UpdateNotices::viewHidden()
{
    if (m_views > 0)
        --m_views;
}

} // namespace vesko
