#include "StatusCommand.h"

#include "AppModel.h"
#include "BootClockTimer.h"
#include "KeyringSecretStore.h"
#include "LogindWakeMonitor.h"
#include "Money.h"
#include "SystemHostName.h"
#include "UrlOpener.h"
#include "XdgAutostart.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTimer>

#include <cstdio>

namespace vesko {

namespace {

// Nothing in a status line opens a page.
class NoUrlOpener : public UrlOpener
{
public:
    void open(const QUrl &) override {}
};

} // namespace

std::variant<StatusOptions, QString> parseStatusOptions(const QStringList &arguments)
{
    StatusOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--watch") {
            options.watch = true;
        } else if (argument == u"--format" || argument.startsWith(u"--format=")) {
            const QString value = argument == u"--format" ? arguments.value(++i) : argument.mid(9);
            if (value == u"plain")
                options.format = StatusFormat::plain;
            else if (value == u"json")
                options.format = StatusFormat::json;
            else
                return QStringLiteral("unknown format \"%1\" (plain or json)").arg(value);
        } else {
            return QStringLiteral("unknown option \"%1\"").arg(argument);
        }
    }
    return options;
}

StatusCommand::StatusCommand(std::function<std::unique_ptr<AppModel>()> makeModel, StatusOptions options, Print out,
                             Print err, QObject *parent)
    : QObject(parent), m_makeModel(std::move(makeModel)), m_options(options), m_out(std::move(out)),
      m_err(std::move(err))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(0);
    connect(&m_settle, &QTimer::timeout, this, &StatusCommand::changed);
    m_signInPoll.setInterval(60000);
    m_signInPoll.setSingleShot(true);
    connect(&m_signInPoll, &QTimer::timeout, this, [this] {
        if (m_model->phase().kind() == Phase::Case::signedOut)
            attach();
    });
    // From the event loop, so that whoever waits for `finished` is listening.
    QTimer::singleShot(0, this, &StatusCommand::attach);
}

StatusCommand::~StatusCommand() = default;

void StatusCommand::attach()
{
    m_model = m_makeModel();
    for (auto signal : {&AppModel::phaseChanged, &AppModel::summaryChanged, &AppModel::refreshedAtChanged,
                        &AppModel::spokenLabelChanged})
        connect(m_model.get(), signal, &m_settle, qOverload<>(&QTimer::start));
    changed();
}

void StatusCommand::changed()
{
    if (m_done)
        return;
    const Phase &phase = m_model->phase();
    const Money::Mask mask(m_model->hideAmounts());
    const StatusLine line = statusLine(phase, m_model->summary(), m_model->spokenLabel(), m_model->refreshedAt());

    if (m_options.watch) {
        if (m_printed != line) {
            m_out(formatted(line, m_options.format));
            m_printed = line;
        }
        // A sign-in in the tray later on: pick its token up.
        if (phase.kind() == Phase::Case::signedOut && !m_signInPoll.isActive())
            m_signInPoll.start();
        return;
    }

    int code = -1;
    switch (phase.kind()) {
    case Phase::Case::ready:
        m_out(formatted(line, m_options.format));
        code = statusOk;
        break;
    case Phase::Case::signedOut:
        m_err(QStringLiteral("vesko: not signed in; sign in from the tray or with: vesko --sign-in"));
        code = statusSignedOut;
        break;
    case Phase::Case::failed:
        m_err(QStringLiteral("vesko: ") + phase.message());
        code = phase.message() == Phase::offlineMessage() ? statusOffline : statusFailed;
        break;
    case Phase::Case::loading:
    case Phase::Case::signingIn:
        return;
    }
    m_done = true;
    emit finished(code);
}

int runStatus(const QStringList &arguments)
{
    const auto parsed = parseStatusOptions(arguments);
    if (const QString *error = std::get_if<QString>(&parsed)) {
        std::fprintf(stderr, "vesko status: %s\nusage: vesko status [--format plain|json] [--watch]\n",
                     qPrintable(*error));
        return statusUsage;
    }
    // The application's own settings and keyring entry: the same account.
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("vesko"), QStringLiteral("vesko"));
    KeyringSecretStore secrets;
    HttpSession http;
    XdgAutostart autostart(QStringLiteral("app.vesko.Vesko"), QCoreApplication::applicationFilePath());
    NoUrlOpener urls;
    SystemHostName hostName;
    LogindWakeMonitor wake;
    const VeskoConfig config = VeskoConfig::fromInstalledInfo();
    const auto makeModel = [&] {
        return std::make_unique<AppModel>(AppModel::Environment{
            .config = config, .secrets = secrets, .http = http, .settings = settings, .loginItem = autostart,
            .urls = urls, .hostName = hostName, .browserSessions = nullptr,
            .loopTimer = std::make_unique<BootClockTimer>(), .wake = &wake});
    };
    const auto print = [](FILE *stream) {
        return [stream](const QString &line) {
            std::fprintf(stream, "%s\n", line.toUtf8().constData());
            std::fflush(stream);
        };
    };
    StatusCommand command(makeModel, std::get<StatusOptions>(parsed), print(stdout), print(stderr));
    QObject::connect(&command, &StatusCommand::finished, QCoreApplication::instance(), &QCoreApplication::exit);
    return QCoreApplication::exec();
}

} // namespace vesko
