#include "app/core/presenters/StatusLine.h"

#include "kit/Money.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// Pango markup of any text: escaped, and without the control characters
// markup cannot carry (a line break stays in a tooltip).
QString markup(const QString &text, bool lines)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control || (lines && c == u'\n'))
            clean += c;
    }
    return clean.toHtmlEscaped();
}

// Each value is capped so that a whole line always fits in one message.
constexpr qsizetype fieldCap = 256;

} // namespace

StatusLine statusLine(const Phase &phase, const std::optional<Summary> &summary, const QString &spokenLabel,
                      const QDateTime &refreshedAt, const std::optional<QString> &trayLabel, bool showsSnout,
                      const QString &scope)
{
    StatusLine line;
    if (summary) {
        line.text = Money::compact(summary->mrr(), summary->currency());
        line.arr = Money::compact(summary->arr(), summary->currency());
        if (summary->growth())
            line.growth = Money::growth(*summary->growth());
    }
    line.scope = scope;
    line.tooltip = spokenLabel;
    if (phase.kind() == Phase::Case::failed)
        line.tooltip += u'\n' + phase.message();
    else if (phase.kind() == Phase::Case::signedOut)
        line.tooltip += u"\nNot signed in"_s;
    else if (refreshedAt.isValid())
        line.tooltip += u"\nUpdated at "_s + refreshedAt.toLocalTime().toString(u"HH:mm"_s);
    line.phase = QString::fromLatin1(QMetaEnum::fromType<Phase::Case>().valueToKey(int(phase.kind())));
    line.trayLabel = trayLabel.value_or(QString());
    line.snout = showsSnout;
    line.message = phase.message();
    return line;
}

QString formatted(const StatusLine &line, StatusFormat format, const GenmonLook &look)
{
    switch (format) {
    case StatusFormat::plain:
        return line.text;
    case StatusFormat::json: {
        const QJsonObject object{{u"text"_s, line.text},         {u"tooltip"_s, line.tooltip}, {u"class"_s, line.phase},
                                 {u"menubar"_s, line.trayLabel}, {u"snout"_s, line.snout},     {u"arr"_s, line.arr},
                                 {u"growth"_s, line.growth},     {u"scope"_s, line.scope}};
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
    case StatusFormat::genmon:
        break;
    }
    QString out;
    // The command goes to a click as it is: nothing in it may close the tag.
    const QString command = look.command.contains(u'<') ? u"vesko"_s : look.command;
    const bool icon = line.snout && !(look.iconName.isEmpty() && look.iconPath.isEmpty());
    if (icon && !look.iconName.isEmpty())
        out += u"<icon>%1</icon><iconclick>%2</iconclick>"_s.arg(markup(look.iconName, false), command);
    else if (icon)
        out += u"<img>%1</img><click>%2</click>"_s.arg(markup(look.iconPath, false), command);
    // Something to click even when there is neither a figure nor an icon.
    const QString text = line.trayLabel.isEmpty() && !icon ? u"Vesko"_s : line.trayLabel;
    if (!text.isEmpty())
        out += u"<txt>%1</txt><txtclick>%2</txtclick>"_s.arg(markup(text, false), command);
    out += u"<tool>%1</tool>"_s.arg(markup(line.tooltip, true));
    return out;
}

QStringList statusFields(const StatusLine &line)
{
    const QStringList fields{u"phase"_s,   line.phase,   u"text"_s,      line.text,  u"tooltip"_s,
                             line.tooltip, u"menubar"_s, line.trayLabel, u"snout"_s, line.snout ? u"1"_s : u"0"_s,
                             u"message"_s, line.message, u"arr"_s,       line.arr,   u"growth"_s,
                             line.growth,  u"scope"_s,   line.scope};
    QStringList capped;
    for (const QString &field : fields)
        capped << field.left(fieldCap);
    return capped;
}

std::optional<StatusLine> statusLineFromFields(const QStringList &fields)
{
    if (fields.size() % 2 != 0)
        return std::nullopt;
    StatusLine line;
    for (qsizetype i = 0; i < fields.size(); i += 2) {
        const QString &key = fields.at(i);
        const QString &value = fields.at(i + 1);
        if (key == u"phase")
            line.phase = value;
        else if (key == u"text")
            line.text = value;
        else if (key == u"tooltip")
            line.tooltip = value;
        else if (key == u"menubar")
            line.trayLabel = value;
        else if (key == u"snout")
            line.snout = value != u"0";
        else if (key == u"message")
            line.message = value;
        else if (key == u"arr")
            line.arr = value;
        else if (key == u"growth")
            line.growth = value;
        else if (key == u"scope")
            line.scope = value;
    }
    const QMetaEnum phases = QMetaEnum::fromType<Phase::Case>();
    for (int i = 0; i < phases.keyCount(); ++i) {
        if (line.phase == QLatin1StringView(phases.key(i)))
            return line;
    }
    return std::nullopt;
}

} // namespace vesko
