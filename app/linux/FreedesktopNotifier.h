#pragma once

#include "app/core/Notifier.h"

#include <QDBusConnection>
#include <QList>

#include <optional>

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
    void send(const Notification &notification);

    QDBusConnection m_bus;
    // Whether the server reads bodies as markup: asked once, before the first.
    std::optional<bool> m_bodyMarkup;
    QList<Notification> m_waiting;
    QList<uint> m_ours; // oldest first
};

} // namespace vesko
