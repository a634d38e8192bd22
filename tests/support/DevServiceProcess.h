#pragma once

#include <QProcess>
#include <QStringList>
#include <QUrl>

using namespace Qt::StringLiterals;

// A running vesko-devservice on a free port, stopped when this goes away.
// Its /_control answers whoever sends controlSecret() in controlHeader.
class DevServiceProcess
{
public:
    static constexpr const char *controlHeader = "Vesko-Control-Secret";
    // Made up once per test process; every service it starts takes it.
    static QByteArray controlSecret();

    // An empty `secret` starts it with none (/_control shut).
    explicit DevServiceProcess(const QStringList &arguments = {}, const QByteArray &secret = controlSecret());
    ~DevServiceProcess()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    // Empty when the service started and announced its port.
    const QString &failure() const { return m_failure; }
    quint16 port() const { return m_port; }
    // pathAndQuery such as "v1/events?limit=5"
    QUrl url(const QString &pathAndQuery) const
    {
        return QUrl(u"http://127.0.0.1:%1/%2"_s.arg(m_port).arg(pathAndQuery));
    }

private:
    QProcess m_process;
    QString m_failure;
    quint16 m_port = 0;
};
