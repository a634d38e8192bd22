#include "app/ui/LazyPanelViews.h"

#include <QLoggingCategory>

namespace vesko {

namespace {

Q_LOGGING_CATEGORY(viewsLog, "vesko.views")

constexpr int releaseAfterMs = 30'000;

} // namespace

LazyPanelViews::LazyPanelViews(const PanelViewsSetup &setup, const QString &part, MemoryTrim *trim, QObject *parent)
    : QObject(parent),
      m_setup(setup),
      m_part(part),
      m_trim(trim)
{
    // Every symbol is bound when the part loads: a part that does not fit
    // this build fails there, with a message, not in the middle of a click.
    m_part.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    m_release.setSingleShot(true);
    m_release.setInterval(releaseAfterMs);
    connect(&m_release, &QTimer::timeout, this, &LazyPanelViews::release);
}

LazyPanelViews::~LazyPanelViews()
{
    // The part stays loaded: Qt Quick is not made to be unloaded.
    m_views.reset();
}

PanelViews *LazyPanelViews::ensureViews()
{
    if (m_views)
        return m_views.get();
    if (m_failed)
        return nullptr;
    if (!m_make) {
        if (m_trim)
            m_trim->beforeFirstLoad();
        m_make = reinterpret_cast<MakePanelViews>(m_part.resolve(makePanelViewsSymbol));
        if (!m_make) {
            // Said once: every later click would only repeat it.
            qCWarning(viewsLog, "Cannot load the panel from %s: %s", qPrintable(m_part.fileName()),
                      qPrintable(m_part.errorString()));
            m_failed = true;
            return nullptr;
        }
    }
    m_views.reset(m_make(m_setup, m_memory));
    connect(m_views.get(), &PanelViews::showingChanged, this, &LazyPanelViews::showingChanged);
    return m_views.get();
}

void LazyPanelViews::showingChanged()
{
    if (m_views && m_views->anyShowing())
        m_release.stop();
    else
        m_release.start();
}

void LazyPanelViews::release()
{
    if (!m_views || m_views->anyShowing())
        return;
    m_memory = m_views->memory();
    m_views.reset();
    if (m_trim)
        m_trim->afterRelease();
    emit released();
}

bool LazyPanelViews::showWelcomeIfNeeded()
{
    if (wasWelcomed(m_setup.settings))
        return false;
    PanelViews *views = ensureViews();
    const bool shown = views && views->showWelcomeIfNeeded();
    showingChanged();
    return shown;
}

void LazyPanelViews::openPanel()
{
    if (PanelViews *views = ensureViews())
        views->openPanel();
    showingChanged();
}

void LazyPanelViews::toggleDropDown(QPoint at)
{
    if (PanelViews *views = ensureViews())
        views->toggleDropDown(at);
    showingChanged();
}

void LazyPanelViews::setTrayShowsText(bool shows)
{
    m_memory.trayShowsText = shows;
    if (m_views)
        m_views->setTrayShowsText(shows);
}

bool LazyPanelViews::welcomeShowing() const
{
    return m_views && m_views->welcomeShowing();
}

} // namespace vesko
