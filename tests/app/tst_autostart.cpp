// Start at login through an XDG autostart entry, in a scratch config home;
// and the URL opener's scheme filter, seen through QDesktopServices' handlers.
#include "DesktopUrlOpener.h"
#include "XdgAutostart.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

using vesko::DesktopUrlOpener;
using vesko::XdgAutostart;

namespace {

const QString id = QStringLiteral("app.vesko.Vesko");
const QString exec = QStringLiteral("/usr/bin/vesko");
const QByteArray freshEntry = "[Desktop Entry]\nType=Application\nName=Vesko\nExec=/usr/bin/vesko\n";

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

class AutostartTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_config = std::make_unique<QTemporaryDir>();
        QVERIFY(m_config->isValid());
        qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
    }

    void location_data()
    {
        QTest::addColumn<QByteArray>("configHome"); // null: unset
        QTest::addColumn<QString>("underHome");     // expected, relative to $HOME
        QTest::newRow("config home set") << QByteArray("/HOME/elsewhere/") << "elsewhere/autostart/app.vesko.Vesko.desktop";
        QTest::newRow("unset") << QByteArray() << ".config/autostart/app.vesko.Vesko.desktop";
        QTest::newRow("empty") << QByteArray("") << ".config/autostart/app.vesko.Vesko.desktop";
        QTest::newRow("relative, so invalid") << QByteArray("elsewhere") << ".config/autostart/app.vesko.Vesko.desktop";
    }
    void location()
    {
        QFETCH(QByteArray, configHome);
        QFETCH(QString, underHome);
        const QByteArray savedHome = qgetenv("HOME");
        const auto restore = qScopeGuard([&] { qputenv("HOME", savedHome); });
        qputenv("HOME", m_config->path().toLocal8Bit());
        if (configHome.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", configHome.replace("/HOME", m_config->path().toLocal8Bit()));

        XdgAutostart autostart(id, exec);
        const QString expected = m_config->filePath(underHome);
        QCOMPARE(autostart.filePath(), expected);
        autostart.setEnabled(true);
        QCOMPARE(readFile(expected), freshEntry);
        QVERIFY(autostart.isEnabled());
        // Missing folders are made private (XDG base directory rules).
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::WriteOther | QFile::ExeOther;
        const QFile::Permissions made = QFileInfo(QFileInfo(expected).path()).permissions();
        QVERIFY(made.testFlags(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(!(made & others));
    }

    void readsEntry_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("enabled");
        const QByteArray head = "[Desktop Entry]\nType=Application\nName=Vesko\nExec=vesko\n";
        QTest::newRow("plain") << head << true;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("hidden") << head + "Hidden=true\n" << false;
        QTest::newRow("hidden false") << head + "Hidden=false\n" << true;
        QTest::newRow("GNOME switch off") << head + "X-GNOME-Autostart-enabled=false\n" << false;
        QTest::newRow("GNOME switch on") << head + "X-GNOME-Autostart-enabled=true\n" << true;
        QTest::newRow("both on") << head + "Hidden=false\nX-GNOME-Autostart-enabled=true\n" << true;
        QTest::newRow("spaces around =") << head + "Hidden = true\n" << false;
        QTest::newRow("indented, trailing space") << head + "\t Hidden=true  \n" << false;
        QTest::newRow("no final newline") << head + "Hidden=true" << false;
        QTest::newRow("CRLF") << QByteArray("[Desktop Entry]\r\nExec=vesko\r\nHidden=true\r\n") << false;
        QTest::newRow("key in lower case") << head + "hidden=true\n" << true;
        QTest::newRow("boolean in capitals") << head + "Hidden=True\n" << true;
        QTest::newRow("boolean as a number") << head + "X-GNOME-Autostart-enabled=0\n" << true;
        QTest::newRow("comment after value") << head + "Hidden=true # off\n" << true;
        QTest::newRow("localized key") << head + "Hidden[de]=true\nX-GNOME-Autostart-enabled[fr]=false\n" << true;
        QTest::newRow("commented out") << head + "# Hidden=true\n#X-GNOME-Autostart-enabled=false\n" << true;
        QTest::newRow("another group") << head + "[Desktop Action Quiet]\nHidden=true\n" << true;
        QTest::newRow("before any group") << "Hidden=true\n" + head << true;
        QTest::newRow("after a broken group header") << head + "[Desktop Action Quiet\nHidden=true\n" << true;
        QTest::newRow("group in two pieces") << head + "[Desktop Action Quiet]\nExec=vesko -q\n[Desktop Entry]\nHidden=true\n"
                                             << false;
        QTest::newRow("last one wins, off") << head + "Hidden=false\nHidden=true\n" << false;
        QTest::newRow("last one wins, on") << head + "Hidden=true\nHidden=false\n" << true;
        QTest::newRow("not UTF-8 before") << head + "Name[xx]=\xff\xfe\nHidden=true\n" << false;
        QTest::newRow("line without =") << head + "garbage\nHidden=true\n" << false;
    }
    void readsEntry()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, enabled);
        XdgAutostart autostart(id, exec);
        QVERIFY(QDir().mkpath(QFileInfo(autostart.filePath()).path()));
        QVERIFY(writeFile(autostart.filePath(), content));
        QCOMPARE(autostart.isEnabled(), enabled);
    }

    // What setEnabled(true) leaves behind, from what was there before.
    void turnOn_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("nothing there") << QByteArray() << freshEntry;
        QTest::newRow("ours, hidden, with the user's additions")
            << QByteArray("# mine\n[Desktop Entry]\nName=Vesko\nExec=vesko --quiet\nHidden=true\nX-GNOME-Autostart-Delay=5\n"
                          "[Desktop Action Quiet]\nHidden=true\n")
            << QByteArray("# mine\n[Desktop Entry]\nName=Vesko\nExec=vesko --quiet\nX-GNOME-Autostart-Delay=5\n"
                          "[Desktop Action Quiet]\nHidden=true\n");
        QTest::newRow("switched off in GNOME")
            << QByteArray("[Desktop Entry]\r\nExec=vesko\r\nX-GNOME-Autostart-enabled=false\r\nHidden[de]=true\r\n")
            << QByteArray("[Desktop Entry]\r\nExec=vesko\r\nHidden[de]=true\r\n");
        QTest::newRow("both switches, twice") << QByteArray("[Desktop Entry]\nHidden=true\nExec=vesko\nX-GNOME-Autostart-enabled=false\nHidden = true")
                                              << QByteArray("[Desktop Entry]\nExec=vesko");
        // A bare "Hidden=true" stub would start nothing once un-hidden.
        QTest::newRow("hiding stub") << QByteArray("[Desktop Entry]\nHidden=true\n") << freshEntry;
        QTest::newRow("already on, left alone") << QByteArray("[Desktop Entry]\nExec=vesko --quiet\n")
                                                << QByteArray("[Desktop Entry]\nExec=vesko --quiet\n");
    }
    void turnOn()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        XdgAutostart autostart(id, exec);
        const QString path = autostart.filePath();
        if (!before.isNull()) {
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QVERIFY(writeFile(path, before));
        }
        autostart.setEnabled(true);
        QCOMPARE(readFile(path), after);
        QVERIFY(autostart.isEnabled());
        // Nothing else was left in the folder (QSaveFile's temporary, say).
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QFileInfo(path).fileName()});
    }

    void escapesValues_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("plain") << "/opt/Vesko App/vesko" << QByteArray("Exec=/opt/Vesko App/vesko");
        QTest::newRow("quoted argument") << R"("/opt/a\\b/vesko" --x)" << QByteArray(R"(Exec="/opt/a\\\\b/vesko" --x)");
        QTest::newRow("newline") << "vesko\nHidden=true" << QByteArray("Exec=vesko\\nHidden=true");
        QTest::newRow("leading space, tab, CR") << " vesko\t-x\r" << QByteArray("Exec=\\svesko\\t-x\\r");
    }
    void escapesValues()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, line);
        XdgAutostart autostart(id, command);
        autostart.setEnabled(true);
        const QByteArray content = readFile(autostart.filePath());
        QVERIFY2(content.split('\n').contains(line), content.constData());
        // A newline in the command never becomes a line of its own.
        QVERIFY(autostart.isEnabled());
    }

    void turnOff()
    {
        XdgAutostart autostart(id, exec);
        autostart.setEnabled(false); // nothing there: nothing to do
        QVERIFY(!autostart.isEnabled());
        autostart.setEnabled(true);
        QVERIFY(autostart.isEnabled());
        autostart.setEnabled(false);
        QVERIFY(!autostart.isEnabled());
        QVERIFY(!QFileInfo::exists(autostart.filePath()));
    }

    // Every read asks the file, whoever changed it.
    void readsAfresh()
    {
        XdgAutostart autostart(id, exec);
        autostart.setEnabled(true);
        QVERIFY(autostart.isEnabled());
        QVERIFY(writeFile(autostart.filePath(), freshEntry + "Hidden=true\n"));
        QVERIFY(!autostart.isEnabled());
        QVERIFY(QFile::remove(autostart.filePath()));
        QVERIFY(!autostart.isEnabled());
        QVERIFY(writeFile(autostart.filePath(), freshEntry));
        QVERIFY(autostart.isEnabled());
    }

    // Our name linked to someone else's file: read through, never written through.
    void symlinks_data()
    {
        QTest::addColumn<QByteArray>("target"); // null: the link dangles
        QTest::addColumn<bool>("enabledBefore");
        QTest::newRow("to an entry") << freshEntry << true;
        QTest::newRow("to a hidden entry") << freshEntry + "Hidden=true\n" << false;
        QTest::newRow("dangling") << QByteArray() << false;
    }
    void symlinks()
    {
        QFETCH(QByteArray, target);
        QFETCH(bool, enabledBefore);
        XdgAutostart autostart(id, exec);
        const QString path = autostart.filePath();
        const QString other = m_config->filePath(QStringLiteral("applications/other.desktop"));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()) && QDir().mkpath(QFileInfo(other).path()));
        if (!target.isNull())
            QVERIFY(writeFile(other, target));
        QVERIFY(QFile::link(other, path));
        QCOMPARE(autostart.isEnabled(), enabledBefore);

        autostart.setEnabled(true);
        QVERIFY(autostart.isEnabled());
        QCOMPARE(QFileInfo::exists(other), !target.isNull());
        if (!target.isNull())
            QCOMPARE(readFile(other), target);
        // A link to a working entry is left as it is.
        QCOMPARE(QFileInfo(path).isSymLink(), enabledBefore);

        autostart.setEnabled(false);
        QVERIFY(!QFileInfo(path).isSymLink() && !QFileInfo::exists(path));
        QCOMPARE(QFileInfo::exists(other), !target.isNull());
    }

    // Failures are swallowed, and the next read tells what is there.
    void obstacles_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<bool>("givesWay"); // to a good entry on setEnabled(true)
        QTest::newRow("our name is a folder") << "folder" << false;
        QTest::newRow("the autostart folder is a file") << "file" << false;
        QTest::newRow("a FIFO in our place") << "fifo" << true;
        QTest::newRow("too big to be ours") << "huge" << true;
    }
    void obstacles()
    {
        QFETCH(QString, obstacle);
        QFETCH(bool, givesWay);
        XdgAutostart autostart(id, exec);
        const QString path = autostart.filePath();
        const QString folder = QFileInfo(path).path();
        if (obstacle == u"folder") {
            QVERIFY(QDir().mkpath(path));
        } else if (obstacle == u"file") {
            QVERIFY(writeFile(folder, "not a folder"));
        } else if (obstacle == u"fifo") {
            // Read, it would block for ever.
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(writeFile(path, freshEntry + QByteArray(2 << 20, '#')));
        }
        QVERIFY(!autostart.isEnabled());
        autostart.setEnabled(true);
        QCOMPARE(autostart.isEnabled(), givesWay);
        if (givesWay)
            QCOMPARE(readFile(path), freshEntry);
        autostart.setEnabled(false);
        QVERIFY(!autostart.isEnabled());
        QCOMPARE(QFileInfo(path).isDir(), obstacle == u"folder");
        QCOMPARE(QFileInfo(folder).isFile(), obstacle == u"file");
    }

private:
    std::unique_ptr<QTemporaryDir> m_config;
};

class UrlOpenerTest : public QObject
{
    Q_OBJECT

public slots:
    // Called by QDesktopServices in place of the desktop's handler.
    void handle(const QUrl &url) { m_opened.append(url); }

private slots:
    void opensOnlyWebPages_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("opened");
        QTest::newRow("https") << "https://vesko.app/app" << true;
        QTest::newRow("http, port and query") << "http://127.0.0.1:8080/app/settings?x=1" << true;
        QTest::newRow("scheme in capitals") << "HTTPS://vesko.app/app" << true;
        QTest::newRow("file") << "file:///usr/bin/xterm" << false;
        QTest::newRow("file, no slashes") << "file:run.desktop" << false;
        QTest::newRow("our own scheme") << "vesko://callback?code=1" << false;
        QTest::newRow("mailto") << "mailto:someone@example.com" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("data") << "data:text/html,<b>hi</b>" << false;
        QTest::newRow("ftp") << "ftp://example.com/file" << false;
        QTest::newRow("https without a host") << "https:///etc/passwd" << false;
        QTest::newRow("relative") << "app/settings" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("invalid host") << "http://exa mple.com/" << false;
        QTest::newRow("invalid port") << "https://vesko.app:99999/app" << false;
    }
    void opensOnlyWebPages()
    {
        QFETCH(QString, url);
        QFETCH(bool, opened);
        const QUrl target(url);
        // Whatever gets through lands here, never on the machine's desktop.
        QDesktopServices::setUrlHandler(target.scheme(), this, "handle");
        const auto unset = qScopeGuard([&] { QDesktopServices::unsetUrlHandler(target.scheme()); });
        m_opened.clear();
        DesktopUrlOpener().open(target);
        QCOMPARE(m_opened, opened ? QList<QUrl>{target} : QList<QUrl>{});
    }

private:
    QList<QUrl> m_opened;
};

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    AutostartTest autostart;
    UrlOpenerTest urlOpener;
    const int failed = QTest::qExec(&autostart, argc, argv);
    return failed + QTest::qExec(&urlOpener, argc, argv);
}

#include "tst_autostart.moc"
