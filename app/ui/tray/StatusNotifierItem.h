#pragma once

#include "app/ui/tray/StatusNotifierTypes.h"

#include <QDBusConnection>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>

class QDBusServiceWatcher;

namespace vesko {

// Our tray item as the desktop sees it: an org.kde.StatusNotifierItem on the
// session bus, registered with the StatusNotifierWatcher (and again whenever
// a watcher comes back, say after the shell restarted). Unlike
// QSystemTrayIcon it can carry a text label beside the icon.
class StatusNotifierItem : public QObject
{
    Q_OBJECT

public:
    // What the item shows; each change is announced with the protocol's signal.
    struct Content
    {
        QString title;      // also the accessible description
        QString label;      // the text beside the icon, may be empty
        QString labelGuide; // the widest text the label is expected to take
        QString iconName;   // looked up in iconThemePath first
        QString iconThemePath;
        QList<SniPixmap> icon; // for hosts that cannot find the name
        QString toolTipTitle;
        QString toolTipText;

        bool operator==(const Content &) const = default;
    };

    static constexpr const char *objectPath = "/StatusNotifierItem";
    static constexpr const char *menuPath = "/MenuBar";
    static constexpr const char *watcherService = "org.kde.StatusNotifierWatcher";

    StatusNotifierItem(const QString &id, QDBusConnection bus, QObject *parent = nullptr);
    ~StatusNotifierItem() override;

    // Exports the item and its name and asks the watcher to show it. False
    // when there is no session bus.
    bool start();
    // A watcher took the item: a host is drawing it now.
    bool isRegistered() const { return m_registered; }
    bool watcherPresent() const;
    // The program that holds the watcher, as the kernel names it (15
    // characters at most): a hint at what the host can draw. Empty until
    // known, and while no watcher took the item.
    QString hostProgram() const { return m_hostProgram; }
    // The well-known name the item's calls come to.
    QString serviceName() const { return m_serviceName; }
    // The name the watcher is given: the connection's unique name.
    QString watcherName() const { return m_bus.baseService(); }
    // Whether a watcher's name for an item ("name", "name/path" as KDE's
    // writes it, "name@path" as GNOME's does) is this one.
    bool isOwnWatcherName(const QString &name) const;

    const Content &content() const { return m_content; }
    void setContent(const Content &content);

signals:
    // Clicked in the host: where, in screen coordinates (0,0 when the host
    // did not say).
    void activateRequested(QPoint at);
    void registeredChanged(bool registered);
    void hostProgramChanged();
    // The host hands over a token with which the window a click opens may
    // take focus (XDG activation, on Wayland).
    void activationTokenProvided(const QString &token);

    // Relayed to the bus by the adaptor.
    void newTitle();
    void newIcon();
    void newToolTip();
    void newLabel(const QString &label, const QString &guide);

private slots:
    void watcherDropped(const QString &service);

private:
    friend class StatusNotifierItemAdaptor;
    void registerWithWatcher();
    void setRegistered(bool registered);
    void learnHostProgram();
    void setHostProgram(const QString &program);

    QString m_id;
    QDBusConnection m_bus;
    QString m_serviceName;
    Content m_content;
    QString m_hostProgram;
    bool m_registered = false;
    bool m_started = false;
    QDBusServiceWatcher *m_watcher = nullptr;
    QTimer m_reregister;
    int m_reregistrations = 0;
};

} // namespace vesko
