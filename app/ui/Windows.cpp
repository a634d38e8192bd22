#include "Windows.h"

#include "PanelController.h"

#include <QEvent>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QSettings>
#include <QtMath>

namespace vesko {

namespace {

const QString welcomedKey = QStringLiteral("VeskoWelcomed");

// Not resizable by the user, yet following the content when it grows or shrinks.
void fixToContent(QQuickView &view)
{
    QQuickItem *root = view.rootObject();
    if (!root)
        return;
    const auto fit = [&view, root] {
        const QSize size(qCeil(root->width()), qCeil(root->height()));
        view.setMinimumSize(size);
        view.setMaximumSize(size);
        view.resize(size);
    };
    QObject::connect(root, &QQuickItem::widthChanged, &view, fit);
    QObject::connect(root, &QQuickItem::heightChanged, &view, fit);
    fit();
}

void centre(QQuickView &view)
{
    if (const QScreen *screen = view.screen())
        view.setPosition(screen->availableGeometry().center() - QPoint(view.width() / 2, view.height() / 2));
}

} // namespace

Windows::Windows(PanelController &panel, QSettings &settings, QObject *parent)
    : QObject(parent), m_controller(panel), m_settings(settings)
{
}

Windows::~Windows() = default;

std::unique_ptr<QQuickView> Windows::makeView(const QString &title, const QString &qml)
{
    auto view = std::make_unique<QQuickView>();
    m_controller.expose(*view->rootContext());
    view->rootContext()->setContextProperty(QStringLiteral("windows"), this);
    view->setTitle(title);
    view->setResizeMode(QQuickView::SizeViewToRootObject);
    view->setSource(QUrl(QStringLiteral("qrc:/vesko/qml/") + qml));
    fixToContent(*view);
    view->installEventFilter(this);
    return view;
}

bool Windows::showWelcomeIfNeeded()
{
    if (m_settings.value(welcomedKey, false).toBool())
        return false;
    // Recorded first: a crash while it shows must not bring it back every start.
    m_settings.setValue(welcomedKey, true);
    if (!m_welcome) {
        m_welcome = makeView(QStringLiteral("Welcome to Vesko"), QStringLiteral("WelcomeView.qml"));
        centre(*m_welcome);
    }
    m_welcome->show();
    m_welcome->raise();
    m_welcome->requestActivate();
    return true;
}

void Windows::openPanel()
{
    if (!m_panel) {
        m_panel = makeView(QStringLiteral("Vesko"), QStringLiteral("PanelView.qml"));
        centre(*m_panel);
        connect(m_panel.get(), &QWindow::visibleChanged, &m_controller, [this](bool visible) {
            if (visible)
                m_controller.shown();
            else
                m_controller.hidden();
        });
    }
    m_panel->show();
    m_panel->raise();
    m_panel->requestActivate();
}

void Windows::dismissWelcome()
{
    if (m_welcome)
        m_welcome->hide();
}

void Windows::openHere()
{
    dismissWelcome();
    openPanel();
}

bool Windows::eventFilter(QObject *watched, QEvent *event)
{
    // Closing only hides: the window and its place outlive it.
    if (event->type() == QEvent::Close) {
        if (auto *view = qobject_cast<QQuickView *>(watched)) {
            event->ignore();
            view->hide();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vesko
