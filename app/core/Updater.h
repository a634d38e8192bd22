#pragma once

#include <QObject>
#include <QUrl>

namespace vesko {

// Vesko's own updates. Passive: it tells the user and points at the download
// page, and never installs anything itself. Automatic checks run on their own
// schedule once constructed; checkForUpdates() is the user's explicit check.
class Updater : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    virtual void checkForUpdates() = 0;
    // The last update reported has reached the user: automatic checks keep
    // quiet about that version from now on. Until then they report it again.
    virtual void markAnnounced() {}

signals:
    // Answers to a check. The automatic checks only ever report an update.
    void updateAvailable(const QString &version, const QUrl &downloadPage, bool userInitiated);
    void upToDate();
    void checkFailed();
};

} // namespace vesko
