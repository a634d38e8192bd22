#pragma once

#include "app/core/presenters/StatusLine.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <variant>

namespace vesko {

class AppModel;
class InstanceStatusQuery;
class SingleInstance;

// How `vesko status` ends, for scripts to tell cases apart.
enum StatusExit {
    statusOk = 0,
    statusFailed = 1,
    statusUsage = 2,
    statusSignedOut = 3,
    statusOffline = 4,
    statusNotRunning = 5, // only with --running
};

struct StatusOptions
{
    StatusFormat format = StatusFormat::plain;
    bool watch = false;
    bool runningOnly = false; // ask the running Vesko or nobody
    bool help = false;        // print the usage and nothing else

    bool operator==(const StatusOptions &) const = default;
};

// How `vesko status` is called.
QString statusUsageText();

// The options after "status", or what is wrong with them.
std::variant<StatusOptions, QString> parseStatusOptions(const QStringList &arguments);

// The model's status line, amounts masked while they are hidden.
StatusLine statusLineOf(const AppModel &model);

// On the running Vesko: answers status queries from `model` and pushes each
// change to the askers still listening.
void serveStatus(SingleInstance &instance, AppModel &model);

// Prints the figure once it is known and says how it ended (one-shot), or a
// line on every change (watch). The figure comes from the running Vesko when
// one answers; otherwise from a model of its own, made with `makeModel`
// (again when a watch that started signed out finds a token later).
class StatusCommand : public QObject
{
    Q_OBJECT

public:
    using Print = std::function<void(const QString &line)>;

    StatusCommand(std::function<std::unique_ptr<AppModel>()> makeModel, StatusOptions options, Print out, Print err,
                  QObject *parent = nullptr);
    ~StatusCommand() override;

    // Ask the running instance of this name first; empty (the default): never.
    void setInstance(const QString &name) { m_instance = name; }
    void setGenmonLook(GenmonLook look) { m_look = std::move(look); }
    // Watching: look for a token this often while signed out.
    void setSignInPoll(int ms) { m_signInPoll.setInterval(ms); }

signals:
    void finished(int exitCode);

private:
    void start();
    void leaveInstance(bool answeredBefore);
    void attach();
    void modelChanged();
    void show(const StatusLine &line);
    void finish(int code);

    std::function<std::unique_ptr<AppModel>()> m_makeModel;
    StatusOptions m_options;
    Print m_out, m_err;
    QString m_instance;
    GenmonLook m_look;
    QPointer<InstanceStatusQuery> m_query;
    std::unique_ptr<AppModel> m_model;
    std::optional<QString> m_printed;
    // The token the model holds, and the last one the service refused.
    std::optional<QString> m_held, m_refused;
    QTimer m_signInPoll;
    // The model publishes a refresh field by field: print once it has settled.
    QTimer m_settle;
    bool m_done = false;
};

// The Generic Monitor's icon, and a click that runs `application`: the icon by
// name when the desktop's icon theme has it, else a file next to this build.
GenmonLook genmonLook(const QString &application);
// The snout as a panel-sized picture in the runtime folder, for bars that
// show image files as they are; empty when it cannot be written.
QString genmonIconFile();

// `vesko status …` (the options after "status") with the desktop's keyring,
// settings and service; `application` is the `vesko` binary, which a click
// starts and the login item names. A QCoreApplication must exist. Returns
// the exit code.
int runStatus(const QStringList &arguments, const QString &application);

} // namespace vesko
