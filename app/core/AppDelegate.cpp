#include "app/core/AppDelegate.h"

#include "app/core/DeviceToken.h"
#include "app/core/Notifier.h"
#include "app/core/PushTransport.h"
#include "app/core/Scene.h"
#include "app/core/SleepTimer.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace vesko {

AppDelegate::AppDelegate(AppModel::Environment environment, Notifier &notifier, PushTransport &push,
                         SystemLog systemLog, QObject *parent)
    : QObject(parent),
      m_model(std::make_unique<AppModel>(std::move(environment))),
      m_notifier(notifier),
      m_push(push),
      m_systemLog(std::move(systemLog))
{
    connect(&m_push, &PushTransport::registered, this, [this](const QByteArray &token) {
        m_pushRegistered = true;
        m_model->registerPush(deviceTokenText(token));
    });
    connect(&m_push, &PushTransport::registrationFailed, this, [this](const QString &reason) {
        m_pushRegistered = false;
        if (m_systemLog)
            m_systemLog(u"Vesko: push registration failed: "_s + reason);
    });
    connect(&m_push, &PushTransport::pushed, this, &AppDelegate::present);
}

void AppDelegate::finishLaunching(Scene &scene)
{
    m_scene = &scene;
    connect(&m_notifier, &Notifier::clicked, m_model.get(), &AppModel::openDashboard, Qt::UniqueConnection);
    m_model->onSignedIn = [self = QPointer(this)] {
        if (self)
            self->enablePushLater();
    };
    if (m_model->isTokenPending()) {
        connect(
            m_model.get(), &AppModel::tokenSettled, this,
            [this] {
                if (m_model->token())
                    enablePushLater();
            },
            Qt::SingleShotConnection);
    } else if (m_model->token()) {
        enablePushLater();
    }
    scene.showWelcomeIfNeeded();
}

void AppDelegate::reopen()
{
    if (m_scene)
        m_scene->openPanel();
}

void AppDelegate::present(const Notification &notification)
{
    m_model->refresh();
    // Shown now, not after the refresh: the message is news by itself.
    if (!notification.title.isEmpty())
        m_notifier.show(notification);
}

void AppDelegate::enablePushLater()
{
    // From the event loop, so launch and sign-in finish before anything
    // asks the desktop or the service.
    QMetaObject::invokeMethod(this, &AppDelegate::enablePush, Qt::QueuedConnection);
}

void AppDelegate::enablePush()
{
    // Pushes nobody could see are not worth a registration; no need to say so.
    if (m_notifier.isAvailable())
        m_push.registerForPush();
}

} // namespace vesko
