#include "app/cli/StatusCommand.h"

#include "app/core/AppModel.h"
#include "app/core/UrlOpener.h"
#include "app/core/presenters/ProjectChoices.h"
#include "app/linux/BootClockTimer.h"
#include "app/linux/KeyringSecretStore.h"
#include "app/linux/LogindWakeMonitor.h"
#include "app/linux/SingleInstance.h"
#include "app/linux/SystemHostName.h"
#include "app/linux/XdgAutostart.h"
#include "kit/Money.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// Nothing in a status line opens a page.
class NoUrlOpener : public UrlOpener
{
public:
    void open(const QUrl &) override {}
};

const QString instanceName = u"vesko"_s;

// As GLib's command-line parser reads it (the Generic Monitor runs clicks through it).
QString shellQuoted(const QString &word)
{
    static const QRegularExpression plain(u"^[A-Za-z0-9/._+-]+$"_s);
    if (plain.match(word).hasMatch())
        return word;
    return u'\'' + QString(word).replace(u'\'', u"'\\''"_s) + u'\'';
}

} // namespace

QString statusUsageText()
{
    return u"usage: vesko status [--format plain|json|genmon] [--watch] [--running]"_s;
}

std::variant<StatusOptions, QString> parseStatusOptions(const QStringList &arguments)
{
    StatusOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--watch") {
            options.watch = true;
        } else if (argument == u"--running") {
            options.runningOnly = true;
        } else if (argument == u"--help" || argument == u"-h") {
            options.help = true;
        } else if (argument == u"--format" || argument.startsWith(u"--format=")) {
            const QString value = argument == u"--format" ? arguments.value(++i) : argument.mid(9);
            if (value == u"plain")
                options.format = StatusFormat::plain;
            else if (value == u"json")
                options.format = StatusFormat::json;
            else if (value == u"genmon")
                options.format = StatusFormat::genmon;
            else
                return u"unknown format \"%1\" (plain, json or genmon)"_s.arg(value);
        } else {
            return u"unknown option \"%1\""_s.arg(argument);
        }
    }
    return options;
}

StatusLine statusLineOf(const AppModel &model)
{
    const Money::Mask mask(model.hideAmounts());
    return statusLine(model.phase(), model.summary(), model.spokenLabel(), model.refreshedAt(), model.trayLabel(),
                      model.showsSnout(), scopeTitle(model.projects(), model.projectScope()));
}

void serveStatus(SingleInstance &instance, AppModel &model)
{
    instance.setStatusSource([&model] { return statusFields(statusLineOf(model)); });
    // Once per burst of changes: a refresh publishes field by field.
    auto *settle = new QTimer(&instance);
    settle->setSingleShot(true);
    settle->setInterval(0);
    QObject::connect(settle, &QTimer::timeout, &instance, &SingleInstance::publishStatus);
    for (auto signal : {&AppModel::phaseChanged, &AppModel::summaryChanged, &AppModel::refreshedAtChanged,
                        &AppModel::spokenLabelChanged, &AppModel::trayLabelChanged, &AppModel::showsSnoutChanged,
                        &AppModel::hideAmountsChanged, &AppModel::projectScopeChanged, &AppModel::projectsChanged})
        QObject::connect(&model, signal, settle, qOverload<>(&QTimer::start));
}

StatusCommand::StatusCommand(std::function<std::unique_ptr<AppModel>()> makeModel, StatusOptions options, Print out,
                             Print err, QObject *parent)
    : QObject(parent),
      m_makeModel(std::move(makeModel)),
      m_options(options),
      m_out(std::move(out)),
      m_err(std::move(err))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(0);
    connect(&m_settle, &QTimer::timeout, this, &StatusCommand::modelChanged);
    m_signInPoll.setInterval(60000);
    m_signInPoll.setSingleShot(true);
    connect(&m_signInPoll, &QTimer::timeout, this, [this] {
        if (m_model->phase().kind() == Phase::Case::signedOut)
            attach();
    });
    // From the event loop, so that whoever waits for `finished` is listening.
    QTimer::singleShot(0, this, &StatusCommand::start);
}

StatusCommand::~StatusCommand() = default;

void StatusCommand::start()
{
    if (!m_instance.isEmpty()) {
        auto *query = new InstanceStatusQuery(m_instance, this);
        if (query->start()) {
            m_query = query;
            connect(query, &InstanceStatusQuery::answered, this, [this](const QStringList &fields) {
                if (const std::optional<StatusLine> line = statusLineFromFields(fields))
                    show(*line);
                else
                    leaveInstance(false);
            });
            connect(query, &InstanceStatusQuery::ended, this, &StatusCommand::leaveInstance);
            return;
        }
        delete query;
    }
    leaveInstance(false);
}

void StatusCommand::leaveInstance(bool answeredBefore)
{
    if (m_query) {
        m_query->disconnect(this);
        m_query->deleteLater();
    }
    if (m_done)
        return;
    // The running Vesko quit under a watch: a new one may have taken over.
    if (answeredBefore && m_options.watch) {
        start();
        return;
    }
    if (m_options.runningOnly) {
        m_err(u"vesko: no running Vesko answered"_s);
        finish(statusNotRunning);
        return;
    }
    attach();
}

void StatusCommand::attach()
{
    m_model = m_makeModel();
    m_held = m_model->token();
    // A token refused under a watch: the tray may have signed in anew since
    // this one was read, so look at once instead of a minute later.
    connect(m_model.get(), &AppModel::tokenChanged, this, [this] {
        const std::optional<QString> lost = std::exchange(m_held, m_model->token());
        if (!m_options.watch || m_held || !lost || lost == m_refused)
            return;
        m_refused = lost;
        QTimer::singleShot(0, this, [this] {
            if (!m_done)
                attach();
        });
    });
    for (auto signal : {&AppModel::phaseChanged, &AppModel::summaryChanged, &AppModel::refreshedAtChanged,
                        &AppModel::spokenLabelChanged, &AppModel::trayLabelChanged, &AppModel::showsSnoutChanged})
        connect(m_model.get(), signal, &m_settle, qOverload<>(&QTimer::start));
    modelChanged();
}

void StatusCommand::modelChanged()
{
    show(statusLineOf(*m_model));
    // A sign-in in the tray later on: pick its token up.
    if (m_options.watch && !m_done && m_model->phase().kind() == Phase::Case::signedOut && !m_signInPoll.isActive())
        m_signInPoll.start();
}

void StatusCommand::show(const StatusLine &line)
{
    if (m_done)
        return;
    const QString out = formatted(line, m_options.format, m_look);
    if (m_options.watch) {
        if (m_printed != out) {
            m_out(out);
            m_printed = out;
        }
        return;
    }

    // The Generic Monitor shows what it reads on every run, so it always
    // gets the icon and the reason in the tooltip, never a bare error.
    const bool alwaysPrint = m_options.format == StatusFormat::genmon;
    const auto fail = [&](const QString &message, int code) {
        if (alwaysPrint)
            m_out(out);
        else
            m_err(u"vesko: "_s + message);
        finish(code);
    };
    if (line.phase == u"ready") {
        m_out(out);
        finish(statusOk);
    } else if (line.phase == u"signedOut" || line.phase == u"signingIn") {
        fail(u"not signed in; sign in from the tray or with: vesko --sign-in"_s, statusSignedOut);
    } else if (line.phase == u"failed") {
        fail(line.message, line.message == Phase::offlineMessage() ? statusOffline : statusFailed);
    }
    // Loading: the next line settles it.
}

void StatusCommand::finish(int code)
{
    m_done = true;
    if (m_query)
        m_query->deleteLater();
    emit finished(code);
}

QString genmonIconFile()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return {};
    QString path = runtime + u"/vesko/icons/vesko-snout-genmon.png"_s;
    // Written once per session: a bar asks every few seconds.
    if (QFileInfo(path).isFile())
        return path;
    // Drawn at build time: this program links no GUI library to draw with.
    QFile picture(u":/vesko/vesko-snout-genmon.png"_s);
    QSaveFile file(path);
    if (!picture.open(QIODevice::ReadOnly) || !QDir().mkpath(QFileInfo(path).absolutePath())
        || !file.open(QIODevice::WriteOnly) || file.write(picture.readAll()) != picture.size() || !file.commit())
        return {};
    return path;
}

GenmonLook genmonLook(const QString &application)
{
    GenmonLook look;
    look.command = shellQuoted(application);
    // By name where the desktop's icon theme finds it: GTK then draws the
    // symbolic snout in the panel's own text colour.
    for (const QString &name : {u"vesko-snout-symbolic"_s, u"app.vesko.Vesko-symbolic"_s}) {
        for (const QString &folder : {u"symbolic"_s, u"scalable"_s}) {
            const QString file = u"icons/hicolor/%1/apps/%2.svg"_s.arg(folder, name);
            if (!QStandardPaths::locate(QStandardPaths::GenericDataLocation, file).isEmpty()) {
                look.iconName = name;
                return look;
            }
        }
    }
    // Installed under a prefix the desktop's theme does not search, or run
    // from the build: a picture at panel size (Generic Monitor shows an image
    // file at its natural size), grey so that it reads on light and dark panels.
    look.iconPath = genmonIconFile();
    return look;
}

int runStatus(const QStringList &arguments, const QString &application)
{
    const auto parsed = parseStatusOptions(arguments);
    if (const QString *error = std::get_if<QString>(&parsed)) {
        std::fprintf(stderr, "vesko status: %s\n%s\n", qPrintable(*error), qPrintable(statusUsageText()));
        return statusUsage;
    }
    const StatusOptions options = std::get<StatusOptions>(parsed);
    if (options.help) {
        std::printf("%s\n", qPrintable(statusUsageText()));
        return statusOk;
    }
    // The application's own settings and keyring entry: the same account.
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, u"vesko"_s, u"vesko"_s);
    KeyringSecretStore secrets;
    HttpSession http;
    XdgAutostart autostart(u"app.vesko.Vesko"_s, application);
    NoUrlOpener urls;
    SystemHostName hostName;
    LogindWakeMonitor wake;
    const VeskoConfig config = VeskoConfig::fromInstalledInfo();
    const auto makeModel = [&] {
        return std::make_unique<AppModel>(AppModel::Environment{.config = config,
                                                                .secrets = secrets,
                                                                .http = http,
                                                                .settings = settings,
                                                                .loginItem = autostart,
                                                                .urls = urls,
                                                                .hostName = hostName,
                                                                .browserSessions = nullptr,
                                                                .loopTimer = std::make_unique<BootClockTimer>(),
                                                                .wake = &wake});
    };
    const auto print = [](FILE *stream) {
        return [stream](const QString &line) {
            std::fprintf(stream, "%s\n", line.toUtf8().constData());
            std::fflush(stream);
        };
    };
    StatusCommand command(makeModel, options, print(stdout), print(stderr));
    // The running Vesko knows the figure already: asking it costs the service nothing.
    command.setInstance(instanceName);
    if (options.format == StatusFormat::genmon)
        command.setGenmonLook(genmonLook(application));
    QObject::connect(&command, &StatusCommand::finished, QCoreApplication::instance(), &QCoreApplication::exit);
    return QCoreApplication::exec();
}

} // namespace vesko
