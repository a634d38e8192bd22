#include "tests/support/DevServiceProcess.h"

#include <QRandomGenerator>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

QByteArray DevServiceProcess::controlSecret()
{
    static const QByteArray secret = [] {
        QByteArray bytes(24, Qt::Uninitialized);
        QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
        return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    }();
    return secret;
}

DevServiceProcess::DevServiceProcess(const QStringList &arguments, const QByteArray &secret)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"VESKO_DEVSERVICE_SECRET"_s);
    if (!secret.isEmpty())
        environment.insert(u"VESKO_DEVSERVICE_SECRET"_s, QString::fromLatin1(secret));
    m_process.setProcessEnvironment(environment);
    m_process.start(QStringLiteral(VESKO_DEVSERVICE_PATH), QStringList{u"--port"_s, u"0"_s} + arguments);
    while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
    }
    const QString line = QString::fromUtf8(m_process.readLine());
    // The announcement is a contract: scripts read the port from exactly this line.
    static const QRegularExpression announcement(u"^vesko-devservice listening on http://127\\.0\\.0\\.1:(\\d+)\\n$"_s);
    const QRegularExpressionMatch match = announcement.match(line);
    if (match.hasMatch())
        m_port = match.captured(1).toUShort();
    else
        m_failure = u"no announcement (%1), first line: %2"_s.arg(m_process.errorString(), line);
}
