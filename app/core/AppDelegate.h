#pragma once

#include "app/core/AppModel.h"
#include "app/core/Notification.h"

#include <QObject>

#include <functional>
#include <memory>

namespace vesko {

class Notifier;
class PushTransport;
class Scene;

// The application's side of launch, relaunch and notifications: owns the one
// model, enables push while signed in and the desktop can show what arrives,
// and turns a push or a click into a refresh or the dashboard.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    using SystemLog = std::function<void(const QString &line)>;

    AppDelegate(AppModel::Environment environment, Notifier &notifier, PushTransport &push, SystemLog systemLog,
                QObject *parent = nullptr);

    AppModel &model() const { return *m_model; }
    // A push transport took our registration: it brings the news from now on.
    bool pushRegistered() const { return m_pushRegistered; }

    void finishLaunching(Scene &scene);
    // A later start of Vesko while this one runs.
    void reopen();
    // Refreshes, and shows the notification unless its title is empty.
    void present(const Notification &notification);

private:
    void enablePushLater();
    void enablePush();

    std::unique_ptr<AppModel> m_model;
    Notifier &m_notifier;
    PushTransport &m_push;
    SystemLog m_systemLog;
    Scene *m_scene = nullptr;
    bool m_pushRegistered = false;
};

} // namespace vesko
