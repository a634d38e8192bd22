#include "app/ui/tray/TrayPanel.h"

#include "app/ui/PanelController.h"
#include "app/ui/PanelQml.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QtMath>

#ifdef VESKO_HAVE_XCB
#include <cstdlib>
#include <xcb/xcb.h>

using namespace Qt::StringLiterals;
#endif

namespace vesko {

namespace {

constexpr qint64 refocusGraceMs = 400;
// Between the panel and the bar it drops from, and from the screen's sides.
constexpr int gap = 6;
constexpr int grabRetryMs = 50;
constexpr int grabTries = 10;

bool belongsTo(const QWindow *window, const QWindow *panel)
{
    for (; window; window = window->transientParent()) {
        if (window == panel)
            return true;
    }
    return false;
}

// Start of a span `length` long inside [low, high): at `wanted` when it fits
// with a gap at both sides, else pressed against the nearer side; one that
// cannot keep its gaps is centred, one that does not fit at all starts at low.
int within(int wanted, int length, int low, int high)
{
    if (length > high - low)
        return low;
    if (length + 2 * gap > high - low)
        return low + (high - low - length) / 2;
    return std::clamp(wanted, low + gap, high - gap - length);
}

bool isXcb()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// On a real X server an override-redirect popup with grabs, as menus are.
// Through XWayland grabs reach no Wayland surface (the shell's bar, other
// apps): there the panel is a managed window that goes when it loses focus.
bool grabsInput()
{
    return isXcb() && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Through XWayland the pointer is known only over our own windows.
bool cursorKnown()
{
    return !isXcb() || grabsInput();
}

} // namespace

TrayPanel::TrayPanel(PanelController &controller, QObject *parent)
    : QObject(parent),
      m_controller(controller)
{
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &TrayPanel::focusMoved);
    m_grabRetry.setSingleShot(true);
    m_grabRetry.setInterval(grabRetryMs);
    connect(&m_grabRetry, &QTimer::timeout, this, &TrayPanel::grabInput);
}

TrayPanel::~TrayPanel()
{
    dropView();
}

void TrayPanel::dropView()
{
    if (!m_view)
        return;
    // The view sends events while it is torn down; they must not reach the
    // filter, which would look into a half-destroyed window.
    if (QQuickWindow *menu = footerMenu())
        menu->removeEventFilter(this);
    m_view->removeEventFilter(this);
    m_view.reset();
}

QPoint TrayPanel::placement(const QRect &available, const QSize &size, QPoint at)
{
    const bool fromTop = at.y() < available.top() + available.height() / 2;
    const int end = available.top() + available.height();
    int y = fromTop ? available.top() + gap : end - gap - size.height();
    y = std::max(available.top(), std::min(y, end - size.height()));
    const int x =
        within(at.x() - size.width() / 2, size.width(), available.left(), available.left() + available.width());
    return {x, y};
}

QPoint TrayPanel::anchor(QPoint at, QPoint lastActivation, std::optional<QPoint> cursor, const QRect &screen)
{
    if (!at.isNull())
        return at;
    if (!lastActivation.isNull())
        return lastActivation;
    if (cursor)
        return *cursor;
    return {screen.right(), screen.top()};
}

int TrayPanel::maximumHeight(const QRect &available)
{
    return std::max(0, available.height() - 2 * gap);
}

bool TrayPanel::compositing()
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return true;
#ifdef VESKO_HAVE_XCB
    if (!isXcb())
        return false;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    int screen = 0;
    char *host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen))
        std::free(host);
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    const auto free = [](void *reply) { std::free(reply); };
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, true, quint16(name.size()), name.constData()),
                              nullptr),
        free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr), free);
    return owner && owner->owner != XCB_NONE;
#else
    return false;
#endif
}

QScreen *TrayPanel::screenFor(QPoint at) const
{
    if (QScreen *screen = QGuiApplication::screenAt(at))
        return screen;
    return QGuiApplication::primaryScreen();
}

void TrayPanel::ensureView()
{
    // A window's alpha channel is fixed when it is made: a compositor that
    // came or went since means a new one.
    const bool translucent = compositing();
    if (m_view && m_translucent == translucent)
        return;
    dropView();
    m_view = std::make_unique<QQuickView>();
    m_translucent = translucent;
    // On X11 an override-redirect popup: the window manager neither moves nor
    // cuts it, and the input grab below sees every click outside it.
    if (grabsInput())
        m_view->setFlags(Qt::Popup | Qt::FramelessWindowHint);
    else
        m_view->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_view->setTitle(u"Vesko"_s);
    if (translucent) {
        QSurfaceFormat format = m_view->format();
        format.setAlphaBufferSize(8);
        m_view->setFormat(format);
        m_view->setColor(Qt::transparent);
    }
    m_controller.expose(*m_view->engine());
    m_view->setResizeMode(QQuickView::SizeViewToRootObject);
    m_view->setSource(panelQml(u"PanelView.qml"_s));
    if (QQuickItem *root = m_view->rootObject()) {
        root->setProperty("rounded", translucent);
        connect(root, &QQuickItem::heightChanged, this, &TrayPanel::fit);
        connect(root, &QQuickItem::widthChanged, this, &TrayPanel::fit);
    }
    if (QQuickWindow *menu = footerMenu())
        menu->installEventFilter(this);
    m_view->installEventFilter(this);
    connect(m_view.get(), &QWindow::visibleChanged, &m_controller, [this](bool visible) {
        if (visible)
            m_controller.shown();
        else
            m_controller.hidden();
        emit showingChanged();
    });
}

// The window follows its content and stays hung from the same bar edge,
// in one move, so what is drawn and where clicks land never disagree.
void TrayPanel::fit()
{
    QQuickItem *root = m_view ? m_view->rootObject() : nullptr;
    if (!root)
        return;
    const QScreen *screen = screenFor(m_anchor);
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    root->setProperty("maximumHeight", maximumHeight(available));
    const QSize size(qCeil(root->width()), qCeil(root->height()));
    const QRect geometry(placement(available, size, m_anchor), size);
    if (m_view->geometry() != geometry)
        m_view->setGeometry(geometry);
}

void TrayPanel::toggle(QPoint at)
{
    if (!at.isNull())
        m_lastActivation = at;
    if (isVisible() || (m_dismissed.isValid() && m_dismissed.elapsed() < refocusGraceMs)) {
        m_dismissed.invalidate();
        hide();
        return;
    }
    ensureView();
    // The cursor only says which screen and which bar edge: it is over the
    // tray menu's entry, not over the item.
    const QScreen *primary = QGuiApplication::primaryScreen();
    m_anchor = anchor(at, m_lastActivation, cursorKnown() ? std::optional(QCursor::pos()) : std::nullopt,
                      primary ? primary->geometry() : QRect());
    // A bar that appears, hides or moves while the panel is up moves it too.
    if (QScreen *screen = screenFor(m_anchor))
        connect(screen, &QScreen::availableGeometryChanged, this, &TrayPanel::fit, Qt::UniqueConnection);
    fit();
    m_swallowRelease = false;
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
    if (QQuickItem *root = m_view->rootObject())
        root->forceActiveFocus();
    m_grabTries = 0;
    grabInput();
}

void TrayPanel::grabInput()
{
    if (!isVisible() || !grabsInput())
        return;
    QWindow *menu = footerMenu();
    QWindow *target = menu && menu->isVisible() ? menu : m_view.get();
    // The keyboard stays with the panel, so Escape reaches it whatever is open.
    const bool keys = m_view->setKeyboardGrabEnabled(true);
    const bool pointer = target->isExposed() && target->setMouseGrabEnabled(true);
    if ((!keys || !pointer) && ++m_grabTries < grabTries)
        m_grabRetry.start();
}

void TrayPanel::hide()
{
    m_grabRetry.stop();
    if (QQuickWindow *menu = footerMenu())
        menu->close();
    if (m_view)
        m_view->hide();
}

bool TrayPanel::isVisible() const
{
    return m_view && m_view->isVisible();
}

QQuickWindow *TrayPanel::footerMenu() const
{
    QQuickItem *root = m_view ? m_view->rootObject() : nullptr;
    return root ? root->findChild<QQuickWindow *>(u"footerMenu"_s) : nullptr;
}

bool TrayPanel::eventFilter(QObject *watched, QEvent *event)
{
    QQuickWindow *menu = footerMenu();
    const bool menuOpen = menu && menu->isVisible();
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (watched != m_view.get())
            break;
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            if (menuOpen)
                menu->close();
            else
                hide();
            return true;
        }
        // The panel holds the keyboard grab, so the open menu's keys arrive here.
        if (menuOpen) {
            QCoreApplication::sendEvent(menu, event);
            return true;
        }
        break;
    case QEvent::MouseButtonPress: {
        // Under a grab, a press anywhere on the screen comes to the grabbing
        // window, in its own coordinates.
        auto *window = static_cast<QWindow *>(watched);
        const QPointF at = static_cast<QMouseEvent *>(event)->position();
        const bool inside = QRectF(QPointF(), window->size()).contains(at);
        if (watched == menu && !inside) {
            const QPointF global = window->mapToGlobal(at);
            menu->close();
            if (!m_view->geometry().contains(global.toPoint())) {
                m_dismissed.start();
                hide();
            }
            // A press that closes the menu does nothing else.
            m_swallowRelease = true;
            return true;
        }
        if (watched == m_view.get() && !inside) {
            m_dismissed.start();
            hide();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (m_swallowRelease) {
            m_swallowRelease = false;
            return true;
        }
        break;
    case QEvent::Expose:
        if (static_cast<QWindow *>(watched)->isExposed())
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_grabTries = 0;
                    grabInput();
                },
                Qt::QueuedConnection);
        break;
    case QEvent::Hide:
        // The menu's grab ends with it; the panel takes the pointer back.
        if (watched == menu && isVisible())
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_grabTries = 0;
                    grabInput();
                },
                Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void TrayPanel::focusMoved(QWindow *focused)
{
    if (!isVisible() || belongsTo(focused, m_view.get()))
        return;
    m_dismissed.start();
    hide();
}

} // namespace vesko
