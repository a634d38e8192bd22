#include "app/linux/XdgAutostart.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QByteArray mainGroup = "Desktop Entry";
// Keys and boolean words are case-sensitive; "Hidden[de]" is another key.
const QByteArray hiddenKey = "Hidden";
const QByteArray gnomeEnabledKey = "X-GNOME-Autostart-enabled";

// Far beyond any real desktop entry; a bigger file is not one of ours.
constexpr qint64 sizeCap = 1 << 20;

// One line of a desktop entry file, classified.
struct Line
{
    enum Kind {
        Nothing,
        Group,
        BrokenGroup,
        Entry
    };
    Kind kind = Nothing;
    QByteArray name; // group name, or key with any [locale] suffix
    QByteArray value;
};

Line parse(const QByteArray &raw)
{
    // Space around a line and around "=" is not part of key or value (nor is
    // the CR of a CRLF line end).
    const QByteArray text = raw.trimmed();
    if (text.isEmpty() || text.startsWith('#'))
        return {};
    if (text.startsWith('['))
        return text.endsWith(']') ? Line{Line::Group, text.mid(1, text.size() - 2), {}}
                                  : Line{Line::BrokenGroup, {}, {}};
    // A line that is none of these is skipped.
    const qsizetype equals = text.indexOf('=');
    if (equals <= 0)
        return {};
    return {Line::Entry, text.left(equals).trimmed(), text.mid(equals + 1).trimmed()};
}

// Calls `visit` with each key line of the [Desktop Entry] group (which may,
// against the rules, come in several pieces) and its index in `lines`.
template <typename Visit>
void forEachMainEntry(const QByteArrayList &lines, Visit visit)
{
    // Keys before any group, or after a broken group header, belong to none.
    std::optional<QByteArray> group;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line line = parse(lines[i]);
        if (line.kind == Line::Group)
            group = line.name;
        else if (line.kind == Line::BrokenGroup)
            group.reset();
        else if (line.kind == Line::Entry && group == mainGroup)
            visit(line, i);
    }
}

bool turnsOff(const Line &line)
{
    return line.name == hiddenKey || line.name == gnomeEnabledKey;
}

// The last occurrence of a key counts; a value that is not exactly "true" or
// "false" is no boolean and leaves the default.
bool isDisabled(const QByteArrayList &lines)
{
    bool hidden = false;
    bool gnomeOff = false;
    forEachMainEntry(lines, [&](const Line &line, qsizetype) {
        if (line.name == hiddenKey)
            hidden = line.value == "true";
        else if (line.name == gnomeEnabledKey)
            gnomeOff = line.value == "false";
    });
    return hidden || gnomeOff;
}

bool hasExec(const QByteArrayList &lines)
{
    bool found = false;
    forEachMainEntry(lines, [&](const Line &line, qsizetype) { found = found || line.name == "Exec"; });
    return found;
}

// What is at the entry's path: nothing usable, or the file's lines.
std::optional<QByteArrayList> readLines(const QString &path)
{
    // isFile() follows links and rules out directories and FIFOs (a read
    // from a FIFO would block).
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > sizeCap)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.read(sizeCap + 1);
    if (content.size() > sizeCap)
        return std::nullopt;
    return content.split('\n');
}

// A value as a desktop entry file holds it: the string escapes, so a newline
// can never start a line of its own.
QByteArray escaped(const QString &value)
{
    QByteArray out;
    const QByteArray utf8 = value.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c == ' ' && i == 0)
            out += "\\s"; // leading space would be trimmed away
        else
            out += c;
    }
    return out;
}

// One argument of an Exec line: as it is when nothing in it is reserved,
// else double-quoted with ", `, $ and \ escaped; "%" is doubled either way
// (a lone one would start a field code).
QString execArgument(const QString &argument)
{
    static const QString reserved = u" \t\n\"'\\><~|&;$*?#()`"_s;
    const bool quote = argument.isEmpty()
                       || std::any_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); });
    QString out;
    for (const QChar c : argument) {
        if (c == u'%')
            out += u'%';
        else if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            out += u'\\';
        out += c;
    }
    return quote ? u'"' + out + u'"' : out;
}

// Missing directories are made private (0700), as XDG base directories are.
bool makeDirectory(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists() || info.isSymLink())
        return false;
    const QString parent = info.absolutePath();
    if (parent == path || !makeDirectory(parent))
        return false;
    return QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void replaceFile(const QString &path, const QByteArray &content)
{
    if (!makeDirectory(QFileInfo(path).absolutePath()))
        return;
    // QSaveFile writes through a symlink to its target, which may be anyone's
    // file (a desktop file linked in from the applications folder, say). The
    // link itself is replaced instead.
    if (QFileInfo(path).isSymLink() && !QFile::remove(path))
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(content);
    file.commit();
}

} // namespace

XdgAutostart::XdgAutostart(QString id, const QString &program, QString name)
    : m_id(std::move(id)),
      m_exec(execArgument(program)),
      m_name(std::move(name))
{}

QString XdgAutostart::filePath() const
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // Relative values are invalid there and to be ignored.
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + u"/.config"_s;
    return QDir::cleanPath(base + u"/autostart/"_s + m_id + u".desktop"_s);
}

bool XdgAutostart::isEnabled() const
{
    const auto lines = readLines(filePath());
    return lines && !isDisabled(*lines);
}

void XdgAutostart::setEnabled(bool enabled)
{
    const QString path = filePath();
    if (!enabled) {
        // A link goes, not what it points at; a directory stays.
        QFile::remove(path);
        return;
    }
    const auto lines = readLines(path);
    if (lines && !isDisabled(*lines))
        return;
    if (lines && hasExec(*lines)) {
        // The switches go; whatever else the user put in the entry stays.
        QByteArrayList kept;
        std::vector<bool> drop(lines->size(), false);
        forEachMainEntry(*lines, [&](const Line &line, qsizetype i) { drop[i] = turnsOff(line); });
        for (qsizetype i = 0; i < lines->size(); ++i) {
            if (!drop[i])
                kept.append(lines->at(i));
        }
        replaceFile(path, kept.join('\n'));
        return;
    }
    // Nothing there, or a bare "Hidden=true" stub that would start nothing.
    replaceFile(path, "[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name="
                          + escaped(m_name)
                          + "\n"
                            "Exec="
                          + escaped(m_exec) + "\n");
}

} // namespace vesko
