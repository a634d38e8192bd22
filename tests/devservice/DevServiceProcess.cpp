#include "DevServiceProcess.h"

#include <QRegularExpression>

DevServiceProcess::DevServiceProcess(const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(VESKO_DEVSERVICE_PATH), QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments);
    while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
    }
    const QString line = QString::fromUtf8(m_process.readLine());
    // The announcement is a contract: scripts read the port from exactly this line.
    static const QRegularExpression announcement(QStringLiteral("^vesko-devservice listening on http://127\\.0\\.0\\.1:(\\d+)\\n$"));
    const QRegularExpressionMatch match = announcement.match(line);
    if (match.hasMatch())
        m_port = match.captured(1).toUShort();
    else
        m_failure = QStringLiteral("no announcement (%1), first line: %2").arg(m_process.errorString(), line);
}
