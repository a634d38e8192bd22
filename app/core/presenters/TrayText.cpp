#include "app/core/presenters/TrayText.h"

namespace vesko {

TrayText trayText(bool showsSnout, const std::optional<QString> &trayLabel, const QString &spokenLabel)
{
    TrayText text;
    text.label = trayLabel.value_or(QString());
    // An empty label with no snout would leave nothing to click.
    text.showsSnout = showsSnout || text.label.isEmpty();
    text.labelGuide = labelGuide(text.label);
    text.spoken = spokenLabel;
    return text;
}

QString labelGuide(const QString &text)
{
    QString guide = text;
    for (QChar &c : guide) {
        if (c.isDigit())
            c = u'0';
    }
    return guide;
}

} // namespace vesko
