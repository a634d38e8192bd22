#include "fakebus_ThrowawaySystemBus.h"

#include <QFile>

ThrowawaySystemBus::~ThrowawaySystemBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

QString ThrowawaySystemBus::start()
{
    if (!m_dir.isValid())
        return QStringLiteral("no temporary directory");
    // Anyone may own any name here: the tests play logind and hostnamed.
    const QByteArray config = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig>\n"
                              "  <type>system</type>\n"
                              "  <listen>unix:path=" + m_dir.filePath(QStringLiteral("system_bus_socket")).toUtf8() + "</listen>\n"
                              "  <auth>EXTERNAL</auth>\n"
                              "  <policy context=\"default\">\n"
                              "    <allow own=\"*\"/>\n"
                              "    <allow send_destination=\"*\"/>\n"
                              "    <allow receive_sender=\"*\"/>\n"
                              "  </policy>\n"
                              "</busconfig>\n";
    const QString configPath = m_dir.filePath(QStringLiteral("system.conf"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size())
        return QStringLiteral("cannot write %1").arg(configPath);
    file.close();

    // Its complaints are kept for a failure report: as root it always has one
    // about raising the file limit.
    m_daemon.start(QStringLiteral(VESKO_DBUS_DAEMON),
                   {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(5000))
        return QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
    // The address comes on one line once the bus listens.
    while (!m_daemon.canReadLine()) {
        if (!m_daemon.waitForReadyRead(5000))
            return QStringLiteral("dbus-daemon printed no address: ") + QString::fromLocal8Bit(m_daemon.readAllStandardError());
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toUtf8());
    return {};
}

QByteArray ThrowawaySystemBus::nowhere(const QTemporaryDir &dir)
{
    return "unix:path=" + dir.filePath(QStringLiteral("no-bus-here")).toUtf8();
}
