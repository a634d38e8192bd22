#include "TrayIcon.h"

#include "AppModel.h"
#include "Appearance.h"
#include "Snout.h"
#include "presenters/TrayText.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSystemTrayIcon>

namespace vesko {

namespace {

const QString openTitle = QStringLiteral("Open Vesko");
const QString quitTitle = QStringLiteral("Quit Vesko");
const QString hideTitle = QStringLiteral("Hide amounts");

// Square canvases, the snout centred across their width: hosts scale
// icons to a square slot.
QList<SniPixmap> snoutPixmaps(const QColor &color)
{
    QList<SniPixmap> pixmaps;
    for (const int side : {16, 22, 24, 32, 48}) {
        QImage canvas(side, side, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        const QSize mark(side, side * snoutSize.height() / snoutSize.width());
        QPainter painter(&canvas);
        painter.drawImage(QPoint(0, (side - mark.height()) / 2), tinted(snoutImage(mark), color));
        painter.end();
        pixmaps << sniPixmap(canvas);
    }
    return pixmaps;
}

// The symbolic icon as a file, so hosts that recolour symbolic icons to
// their panel's text colour (GNOME) can; an empty path when it cannot be
// written, and the pixmaps serve instead.
QString writeSymbolicIcon()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return {};
    const QString folder = runtime + QStringLiteral("/vesko/icons");
    if (!QDir().mkpath(folder))
        return {};
    QSaveFile file(folder + u'/' + QString::fromLatin1(TrayIcon::symbolicIconName) + QStringLiteral(".svg"));
    if (!file.open(QIODevice::WriteOnly) || file.write(snoutSvg()) != snoutSvg().size() || !file.commit())
        return {};
    return folder;
}

} // namespace

TrayIcon::TrayIcon(AppModel &model, const Appearance &appearance, QDBusConnection bus, QObject *parent)
    : QObject(parent), m_model(model), m_appearance(appearance), m_item(QStringLiteral("vesko"), bus), m_menu()
{
    updateMenu();
    m_exported = m_menu.exportOn(bus, QString::fromLatin1(StatusNotifierItem::menuPath));
    m_iconThemePath = writeSymbolicIcon();

    connect(&m_menu, &DBusMenu::triggered, this, &TrayIcon::menuTriggered);
    connect(&m_item, &StatusNotifierItem::activateRequested, this, &TrayIcon::activated);
    connect(&m_item, &StatusNotifierItem::registeredChanged, this, [this](bool registered) {
        if (registered && m_legacy)
            m_legacy->hide();
        else
            fallBackIfNeeded();
        emit hostChanged();
    });
    for (auto signal : {&AppModel::menuBarTextChanged, &AppModel::showsSnoutChanged, &AppModel::spokenLabelChanged})
        connect(&m_model, signal, this, &TrayIcon::update);
    connect(&m_appearance, &Appearance::darkChanged, this, &TrayIcon::update);
    connect(&m_model, &AppModel::hideAmountsChanged, this, &TrayIcon::updateMenu);
    update();
}

TrayIcon::~TrayIcon() = default;

StatusNotifierItem::Content TrayIcon::contentFor(const TrayText &text, bool dark, const QString &iconThemePath)
{
    StatusNotifierItem::Content content;
    content.title = text.spoken;
    content.label = text.label;
    content.labelGuide = text.labelGuide;
    content.toolTipTitle = text.spoken;
    if (text.showsSnout) {
        content.iconName = iconThemePath.isEmpty() ? QString() : QString::fromLatin1(symbolicIconName);
        content.iconThemePath = iconThemePath;
        content.icon = snoutPixmaps(dark ? QColor(Qt::white) : QColor(Qt::black));
    }
    return content;
}

bool TrayIcon::show()
{
    m_item.start();
    fallBackIfNeeded();
    return host() != Host::none || m_item.watcherPresent();
}

TrayIcon::Host TrayIcon::host() const
{
    if (m_item.isRegistered())
        return Host::statusNotifier;
    if (m_legacy && m_legacy->isVisible())
        return Host::systemTray;
    return Host::none;
}

void TrayIcon::update()
{
    const TrayText text = trayText(m_model.showsSnout(), m_model.menuBarText(), m_model.spokenLabel());
    m_item.setContent(contentFor(text, m_appearance.isDark(), m_iconThemePath));
    if (m_legacy) {
        m_legacy->setIcon(snoutIcon(m_appearance.isDark() ? QColor(Qt::white) : QColor(Qt::black)));
        m_legacy->setToolTip(text.spoken);
    }
}

void TrayIcon::fallBackIfNeeded()
{
    // The old tray draws through widgets: only a QApplication can have it.
    if (m_item.isRegistered() || m_item.watcherPresent() || !qobject_cast<QApplication *>(QCoreApplication::instance())
        || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!m_legacy) {
        m_legacyMenu = std::make_unique<QMenu>();
        m_legacyMenu->addAction(openTitle, this, &TrayIcon::openPanelRequested);
        m_legacyHide = m_legacyMenu->addAction(hideTitle, this, [this] { menuTriggered(hideAmountsEntry); });
        m_legacyHide->setCheckable(true);
        m_legacyHide->setChecked(m_model.hideAmounts());
        m_legacyMenu->addSeparator();
        m_legacyMenu->addAction(quitTitle, this, &TrayIcon::quitRequested);
        m_legacy = std::make_unique<QSystemTrayIcon>();
        m_legacy->setContextMenu(m_legacyMenu.get());
        connect(m_legacy.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                emit activated(QCursor::pos());
        });
        update();
    }
    m_legacy->show();
    emit hostChanged();
}

void TrayIcon::updateMenu()
{
    m_menu.setEntries({
        {.id = openPanelEntry, .label = openTitle},
        {.id = hideAmountsEntry, .label = hideTitle, .checked = m_model.hideAmounts()},
        {.id = separatorEntry, .separator = true},
        {.id = quitEntry, .label = quitTitle},
    });
    if (m_legacyHide)
        m_legacyHide->setChecked(m_model.hideAmounts());
}

void TrayIcon::menuTriggered(int id)
{
    if (id == openPanelEntry)
        emit openPanelRequested();
    else if (id == hideAmountsEntry)
        m_model.setHideAmounts(!m_model.hideAmounts());
    else if (id == quitEntry)
        emit quitRequested();
}

} // namespace vesko
