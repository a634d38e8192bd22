#include "StatusLine.h"

#include "Money.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>

namespace vesko {

StatusLine statusLine(const Phase &phase, const std::optional<Summary> &summary, const QString &spokenLabel,
                      const QDateTime &refreshedAt)
{
    StatusLine line;
    if (summary)
        line.text = Money::compact(summary->mrr(), summary->currency());
    line.tooltip = spokenLabel;
    if (phase.kind() == Phase::Case::failed)
        line.tooltip += u'\n' + phase.message();
    else if (refreshedAt.isValid())
        line.tooltip += QStringLiteral("\nUpdated at ") + refreshedAt.toLocalTime().toString(QStringLiteral("HH:mm"));
    line.phase = QString::fromLatin1(QMetaEnum::fromType<Phase::Case>().valueToKey(int(phase.kind())));
    return line;
}

QString formatted(const StatusLine &line, StatusFormat format)
{
    if (format == StatusFormat::plain)
        return line.text;
    const QJsonObject object{{"text", line.text}, {"tooltip", line.tooltip}, {"class", line.phase}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace vesko
