// Start at login through an XDG autostart entry, in a scratch home; and the
// URL opener's scheme filter, seen through QDesktopServices' handlers.
// GLib first: its headers use "signals" as a name, which Qt's would redefine.
#include <gio/gdesktopappinfo.h>

#include "app/linux/DesktopUrlOpener.h"
#include "app/linux/XdgAutostart.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace Qt::StringLiterals;

using vesko::XdgAutostart;

static const QString id = u"app.vesko.Vesko"_s;
// A program path that tries to break out of its line; quoted and escaped, it stays in it.
static const QString exec = u" vesko\\\nHidden=true"_s;
static const QByteArray fresh = "[Desktop Entry]\nType=Application\nName=Vesko\n"
                                R"(Exec=" vesko\\\\\nHidden=true")"
                                "\n";

// Puts `content` at `path`, in folders made as needed: nothing when it is null,
// a folder for "<dir>", a FIFO (a read would block) for "<fifo>", and for
// "<link>" a link to someone else's disabled entry at `path`.target.
static bool place(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (content == "<link>")
        return place(path + u".target"_s, fresh + "Hidden=true\n") && QFile::link(path + u".target"_s, path);
    // The folder it goes in; for "<dir>", then `path` itself.
    if (!QDir().mkpath(QFileInfo(path).path()) || content == "<dir>")
        return QDir().mkpath(path);
    if (content == "<fifo>")
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    return content.isNull() || (file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

// Null when there is no file to read.
static QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class DesktopTest : public QObject
{
    Q_OBJECT

public slots:
    // QDesktopServices calls this in place of the desktop's handler.
    void handle(const QUrl &url) { m_opened.append(url); }

private slots:
    void init()
    {
        m_home.emplace();
        qputenv("HOME", QFile::encodeName(m_home->path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path()) + "/config");
        m_entry = m_home->filePath(u"config/autostart/app.vesko.Vesko.desktop"_s);
    }

    // Whether an entry reads as on; what setEnabled(true) leaves of it; setEnabled(false) removes that.
    void entry_data()
    {
        QTest::addColumn<QByteArray>("before"); // as place() takes it
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QByteArray>("after"); // null: nothing to read; "=": as before
        const QByteArray entry = "[Desktop Entry]\nExec=vesko\n";
        QTest::newRow("missing") << QByteArray() << false << fresh;
        QTest::newRow("a folder in the way") << QByteArray("<dir>") << false << QByteArray();
        QTest::newRow("a FIFO") << QByteArray("<fifo>") << false << fresh;
        QTest::newRow("too big to be ours") << entry + QByteArray(2 << 20, '#') << false << fresh;
        QTest::newRow("hidden") << entry + "Hidden=true\n" << false << entry;
        QTest::newRow("switched off in GNOME") << entry + "X-GNOME-Autostart-enabled=false\n" << false << entry;
        QTest::newRow("spaces, CRLF") << entry + " Hidden = true \r\n" << false << entry;
        QTest::newRow("linked to someone else's entry") << QByteArray("<link>") << false << fresh;
        QTest::newRow("a bare hiding stub") << QByteArray("[Desktop Entry]\nHidden=true\n") << false << fresh;
        const QByteArray mine = "# mine\n[Desktop Entry]\nExec=vesko -q\n";
        const QByteArray kept = "Hidden[de]=true\n[Desktop Action Quiet]\nHidden=true\n[Desktop Entry]";
        QTest::newRow("off, with the user's lines")
            << mine + "Hidden=true\nX-GNOME-Autostart-enabled=false\n" + kept + "\nHidden = true" << false
            << mine + kept;
        QTest::newRow("only the exact words") << entry + "hidden=true\nHidden=True\nX-GNOME-Autostart-enabled=0\n"
                                              << true << QByteArray("=");
        QTest::newRow("localized keys") << entry + "Hidden[de]=true\nX-GNOME-Autostart-enabled[fr]=false\n"
                                        << true << QByteArray("=");
        QTest::newRow("another group") << entry + "[Desktop Action Quiet]\nHidden=true\n" << true << QByteArray("=");
        QTest::newRow("outside any group") << "Hidden=true\n" + entry + "[Broken\nHidden=true\n"
                                           << true << QByteArray("=");
        QTest::newRow("the group in pieces, last one counts")
            << entry + "Hidden=true\n[Desktop Action Quiet]\n[Desktop Entry]\nHidden=false\n"
            << true << QByteArray("=");
    }
    void entry()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, enabled);
        QFETCH(QByteArray, after);
        XdgAutostart autostart(id, exec); // made before the file: nothing may be cached
        QVERIFY(place(m_entry, before));
        QCOMPARE(autostart.isEnabled(), enabled);
        autostart.setEnabled(true);
        QCOMPARE(contentOf(m_entry), after == "=" ? before : after);
        QCOMPARE(contentOf(m_entry + u".target"_s),
                 before == "<link>" ? fresh + "Hidden=true\n" : QByteArray()); // not written through
        autostart.setEnabled(false);
        QCOMPARE(QFileInfo::exists(m_entry), before == "<dir>"); // a folder stays
    }

    // A relative $XDG_CONFIG_HOME is ignored; missing folders are made private.
    void fallsBackToDotConfig()
    {
        qputenv("XDG_CONFIG_HOME", "config");
        XdgAutostart(id, exec).setEnabled(true);
        QCOMPARE(contentOf(m_home->filePath(u".config/autostart/app.vesko.Vesko.desktop"_s)), fresh);
        QCOMPARE(QFileInfo(m_home->filePath(u".config/autostart"_s)).permissions().toInt() & 0x7077, 0x7000);
    }

    // Wherever Vesko is installed, the entry is valid and starts exactly that
    // program, as GLib (GNOME's session) reads and launches it.
    void startsTheProgramWhereverItIs_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << u"bin"_s;
        QTest::newRow("a space") << u"My Apps"_s;
        QTest::newRow("quotes") << u"it's \"here\""_s;
        QTest::newRow("a backslash") << u"back\\slash\\"_s;
        QTest::newRow("shell words") << u"$HOME `id` $(id) ~ *;|&<>#?"_s;
        QTest::newRow("a newline") << u"two\nlines"_s;
        QTest::newRow("non-ASCII") << u"Gr\u00fc\u00dfe ="_s;
        QTest::newRow("percent signs") << u"100% %f %u %%"_s;
    }
    void startsTheProgramWhereverItIs()
    {
        QFETCH(QString, folder);
        const QString program = m_home->filePath(folder + u"/vesko"_s);
        const QString marker = m_home->filePath(u"started"_s);
        QVERIFY(place(program, "#!/bin/sh\nprintf '%s\\n%s' \"$#\" \"$0\" > \"$VESKO_TEST_MARKER\"\n"));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        XdgAutostart(id, program).setEnabled(true);

        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(u"desktop-file-validate"_s, {m_entry});
        QVERIFY(validate.waitForFinished());
        QVERIFY2(validate.exitCode() == 0 && validate.readAll().isEmpty(), contentOf(m_entry).constData());

        // GLib 2.74 looks for the program before it undoes "%%", and refuses the
        // entry: split its Exec as a launch would (value escapes, "%%", quoting).
        if (program.contains(u'%')) {
            g_autoptr(GKeyFile) file = g_key_file_new();
            QVERIFY(g_key_file_load_from_file(file, QFile::encodeName(m_entry).constData(), G_KEY_FILE_NONE, nullptr));
            g_autofree gchar *execLine = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr);
            g_auto(GStrv) argv = nullptr;
            QVERIFY(
                execLine
                && g_shell_parse_argv(QByteArray(execLine).replace("%%", "%").constData(), nullptr, &argv, nullptr));
            QCOMPARE(g_strv_length(argv), 1u);
            QCOMPARE(QFile::decodeName(argv[0]), program);
            return;
        }
        GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(QFile::encodeName(m_entry).constData());
        QVERIFY(info);
        qputenv("VESKO_TEST_MARKER", QFile::encodeName(marker));
        GPid pid = 0;
        const bool launched = g_desktop_app_info_launch_uris_as_manager(
            info, nullptr, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
            [](GDesktopAppInfo *, GPid started, gpointer into) { *static_cast<GPid *>(into) = started; }, &pid,
            nullptr);
        g_object_unref(info);
        QVERIFY(launched && pid > 0);
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QCOMPARE(contentOf(marker), "0\n" + QFile::encodeName(program)); // no arguments, the program itself
    }

    void opensOnlyWebPages_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("opened");
        QTest::newRow("https") << QUrl(u"https://vesko.app/app"_s) << true;
        QTest::newRow("http") << QUrl(u"http://127.0.0.1:8080/app/settings?x=1"_s) << true;
        QTest::newRow("another scheme") << QUrl(u"vesko://callback?code=1"_s) << false;
        QTest::newRow("no host") << QUrl(u"https:///etc/passwd"_s) << false;
        QTest::newRow("invalid") << QUrl(u"https://vesko.app:99999/app"_s) << false;
    }
    void opensOnlyWebPages()
    {
        QFETCH(QUrl, url);
        QFETCH(bool, opened);
        QDesktopServices::setUrlHandler(url.scheme(), this, "handle");
        vesko::DesktopUrlOpener().open(url);
        QDesktopServices::unsetUrlHandler(url.scheme());
        QCOMPARE(std::exchange(m_opened, {}), opened ? QList<QUrl>{url} : QList<QUrl>{});
    }

private:
    std::optional<QTemporaryDir> m_home;
    QString m_entry;
    QList<QUrl> m_opened;
};

QTEST_GUILESS_MAIN(DesktopTest)
#include "tst_autostart.moc"
