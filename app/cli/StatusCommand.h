#pragma once

#include "presenters/StatusLine.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <variant>

namespace vesko {

class AppModel;

// How `vesko status` ends, for scripts to tell cases apart.
enum StatusExit { statusOk = 0, statusFailed = 1, statusUsage = 2, statusSignedOut = 3, statusOffline = 4 };

struct StatusOptions
{
    StatusFormat format = StatusFormat::plain;
    bool watch = false;

    bool operator==(const StatusOptions &) const = default;
};

// The options after "status", or what is wrong with them.
std::variant<StatusOptions, QString> parseStatusOptions(const QStringList &arguments);

// Prints the model's figure once it is known and says how it ended (one-shot),
// or a line on every change (watch). `makeModel` is called again when a
// watch that started signed out finds a token later.
class StatusCommand : public QObject
{
    Q_OBJECT

public:
    using Print = std::function<void(const QString &line)>;

    StatusCommand(std::function<std::unique_ptr<AppModel>()> makeModel, StatusOptions options, Print out, Print err,
                  QObject *parent = nullptr);
    ~StatusCommand() override;

    // Watching: look for a token this often while signed out.
    void setSignInPoll(int ms) { m_signInPoll.setInterval(ms); }

signals:
    void finished(int exitCode);

private:
    void attach();
    void changed();

    std::function<std::unique_ptr<AppModel>()> m_makeModel;
    StatusOptions m_options;
    Print m_out, m_err;
    std::unique_ptr<AppModel> m_model;
    std::optional<StatusLine> m_printed;
    QTimer m_signInPoll;
    // The model publishes a refresh field by field: print once it has settled.
    QTimer m_settle;
    bool m_done = false;
};

// `vesko status …` with the desktop's keyring, settings and service; a
// QCoreApplication must exist. Returns the exit code.
int runStatus(const QStringList &arguments);

} // namespace vesko
