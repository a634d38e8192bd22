#pragma once

#include <QDBusConnection>
#include <QObject>

using namespace Qt::StringLiterals;

// The least a tray item can be: an icon name and a title, on the session
// bus, registered with the host's watcher. The job floor shows its figure in
// the title, as a label would.
class FloorItem : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)

public:
    // False when the bus or the watcher would not take the item.
    bool registerOn(QDBusConnection bus);
    void setTitle(const QString &title);

    QString category() const { return u"ApplicationStatus"_s; }
    QString id() const { return u"bench-floor"_s; }
    QString title() const { return m_title; }
    QString status() const { return u"Active"_s; }
    QString iconName() const { return u"applications-office"_s; }
    bool itemIsMenu() const { return false; }

public slots:
    void Activate(int, int) {}
    void SecondaryActivate(int, int) {}

signals:
    void NewTitle();

private:
    QString m_title = u"-"_s;
};
