#pragma once

#include "Notifier.h"

#include <QDBusConnection>
#include <QList>

namespace vesko {

// Notifications through the desktop's notification server
// (org.freedesktop.Notifications). A click is the "default" action of one of
// ours; the server's ids are remembered until it closes them. Without a bus
// or a server, nothing is shown and nothing breaks.
class FreedesktopNotifier : public Notifier
{
    Q_OBJECT

public:
    explicit FreedesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    // Asks the bus daemon (a short blocking call), never the server itself.
    bool isAvailable() override;
    void show(const Notification &notification) override;

private slots:
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id);

private:
    QDBusConnection m_bus;
    QList<uint> m_ours; // oldest first
};

} // namespace vesko
