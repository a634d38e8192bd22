#pragma once

#include <QProcess>
#include <QStringList>
#include <QUrl>

// A running vesko-devservice on a free port, stopped when this goes away.
class DevServiceProcess
{
public:
    explicit DevServiceProcess(const QStringList &arguments = {});
    ~DevServiceProcess();

    // Empty when the service started and announced its port.
    const QString &failure() const { return m_failure; }
    quint16 port() const { return m_port; }
    // pathAndQuery such as "v1/events?limit=5"
    QUrl url(const QString &pathAndQuery) const;

private:
    QProcess m_process;
    QString m_failure;
    quint16 m_port = 0;
};
