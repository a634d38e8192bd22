#pragma once

#include <QString>

#include <optional>

namespace vesko {

// What the tray item shows and says, from the model's derived values.
struct TrayText
{
    bool showsSnout = true;
    QString label;      // beside the icon; empty: the icon alone
    QString labelGuide; // the label with every digit widened, so hosts keep its width
    QString spoken;     // for screen readers; also title and tooltip, which hosts
                        // that cannot draw a label show instead
};

TrayText trayText(bool showsSnout, const std::optional<QString> &trayLabel, const QString &spokenLabel);

// `text` with each digit replaced by the widest one, "0".
QString labelGuide(const QString &text);

} // namespace vesko
