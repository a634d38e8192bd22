#pragma once

#include "app/core/LoginItem.h"

#include <QString>

namespace vesko {

using namespace Qt::StringLiterals;

// Start at login through XDG autostart: a desktop entry named <id>.desktop in
// $XDG_CONFIG_HOME/autostart (~/.config/autostart when that is unset or not
// absolute). The file is the only state; every call looks at it afresh.
class XdgAutostart : public LoginItem
{
public:
    // `program` is the executable's path as it is (spaces, quotes and all);
    // the Exec line's quoting and the escaping of desktop entry values are
    // added here. `name` is what session settings list the entry as.
    XdgAutostart(QString id, const QString &program, QString name = u"Vesko"_s);

    // On exactly when our file is there and its [Desktop Entry] group sets
    // neither Hidden=true nor X-GNOME-Autostart-enabled=false.
    bool isEnabled() const override;
    // On: a disabled entry of ours is re-enabled with the rest of it kept
    // (the user may have added to it); otherwise a fresh entry is written.
    // Off: our file goes. Never writes through a symlink.
    void setEnabled(bool enabled) override;

    // Where the entry lives right now (follows $XDG_CONFIG_HOME).
    QString filePath() const;

private:
    QString m_id;
    QString m_exec; // quoted for the Exec line
    QString m_name;
};

} // namespace vesko
