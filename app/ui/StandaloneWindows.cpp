#include "app/ui/StandaloneWindows.h"

#include "app/ui/PanelController.h"
#include "app/ui/PanelQml.h"
#include "app/ui/PanelViews.h"

#include <QEvent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QSettings>
#include <QtMath>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// Room kept free around a window on its screen.
constexpr int screenMargin = 8;
// What a title bar and borders usually take, until the window manager says.
constexpr QMargins assumedFrame(1, 37, 1, 1);

QMargins frameOf(const QQuickView &view)
{
    const QMargins frame = view.frameMargins();
    return frame.isNull() ? assumedFrame : frame;
}

// Not resizable by the user, yet following the content when it grows or
// shrinks, and never taller than its screen allows: the panel scrolls inside
// instead. A window that shows stays, frame and all, inside the screen's
// available area.
void fitToScreen(QQuickView &view)
{
    QQuickItem *root = view.rootObject();
    const QScreen *screen = view.screen();
    if (!root || !screen)
        return;
    const QRect available = screen->availableGeometry();
    const QMargins frame = frameOf(view);
    if (root->metaObject()->indexOfProperty("maximumHeight") >= 0)
        root->setProperty("maximumHeight", available.height() - frame.top() - frame.bottom() - 2 * screenMargin);
    const QSize size(qCeil(root->width()), qCeil(root->height()));
    view.setMinimumSize(size);
    view.setMaximumSize(size);
    view.resize(size);
    if (!view.isVisible())
        return;
    const QRect outer = view.frameGeometry();
    const auto inside = [](int start, int length, int low, int high) {
        return std::max(low, std::min(start, high - length));
    };
    const QPoint corner(inside(outer.left(), outer.width(), available.left(), available.left() + available.width()),
                        inside(outer.top(), outer.height(), available.top(), available.top() + available.height()));
    if (corner != outer.topLeft())
        view.setFramePosition(corner);
}

void centre(QQuickView &view)
{
    const QScreen *screen = view.screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize outer = view.size().grownBy(frameOf(view));
    view.setFramePosition(QPoint(available.left() + std::max(0, (available.width() - outer.width()) / 2),
                                 available.top() + std::max(0, (available.height() - outer.height()) / 2)));
}

} // namespace

StandaloneWindows::StandaloneWindows(AppModel &model, Palette &palette, QSettings &settings, QObject *parent)
    : QObject(parent),
      m_controller(std::make_unique<PanelController>(model, palette)),
      m_settings(settings)
{}

StandaloneWindows::~StandaloneWindows() = default;

std::unique_ptr<QQuickView> StandaloneWindows::makeView(const QString &title, const QString &qml,
                                                        const QVariantMap &properties)
{
    auto view = std::make_unique<QQuickView>();
    m_controller->expose(*view->engine());
    view->setInitialProperties(properties);
    view->setTitle(title);
    view->setResizeMode(QQuickView::SizeViewToRootObject);
    view->setSource(panelQml(qml));
    if (QQuickItem *root = view->rootObject()) {
        QQuickView *shown = view.get();
        const auto fit = [shown] { fitToScreen(*shown); };
        connect(root, &QQuickItem::widthChanged, shown, fit);
        connect(root, &QQuickItem::heightChanged, shown, fit);
        connect(shown, &QWindow::screenChanged, shown, fit);
        fit();
    }
    view->installEventFilter(this);
    return view;
}

bool StandaloneWindows::showWelcomeIfNeeded()
{
    if (wasWelcomed(m_settings))
        return false;
    // Recorded first: a crash while it shows must not bring it back every start.
    m_settings.setValue(welcomedKey(), true);
    if (!m_welcome) {
        m_welcome = makeView(u"Welcome to Vesko"_s, u"WelcomeView.qml"_s, {{u"windows"_s, QVariant::fromValue(this)}});
        centre(*m_welcome);
        connect(m_welcome.get(), &QWindow::visibleChanged, this, &StandaloneWindows::showingChanged);
    }
    m_welcome->show();
    m_welcome->raise();
    m_welcome->requestActivate();
    return true;
}

void StandaloneWindows::openPanel()
{
    if (!m_panel) {
        m_panel = makeView(u"Vesko"_s, u"PanelView.qml"_s);
        if (m_panelAt)
            m_panel->setFramePosition(*m_panelAt);
        else
            centre(*m_panel);
        connect(m_panel.get(), &QWindow::visibleChanged, m_controller.get(), [this](bool visible) {
            if (visible)
                m_controller->shown();
            else
                m_controller->hidden();
            emit showingChanged();
        });
    }
    m_panel->show();
    m_panel->raise();
    m_panel->requestActivate();
}

std::optional<QPoint> StandaloneWindows::panelPosition() const
{
    if (m_panel)
        return m_panel->framePosition();
    return m_panelAt;
}

void StandaloneWindows::dismissWelcome()
{
    if (m_welcome)
        m_welcome->hide();
}

void StandaloneWindows::openHere()
{
    dismissWelcome();
    openPanel();
}

bool StandaloneWindows::eventFilter(QObject *watched, QEvent *event)
{
    // The window manager's frame is known once the window shows.
    if (event->type() == QEvent::Expose) {
        // Not while the window draws: a resize in the middle of it upsets the renderer.
        if (auto *view = qobject_cast<QQuickView *>(watched); view && view->isExposed())
            QMetaObject::invokeMethod(
                view, [view] { fitToScreen(*view); }, Qt::QueuedConnection);
    }
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
