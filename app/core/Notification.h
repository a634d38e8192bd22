#pragma once

#include <QMetaType>
#include <QString>

namespace vesko {

// One notification as the user sees it. An empty sound plays none.
struct Notification
{
    QString title;
    QString body;
    QString sound;

    friend bool operator==(const Notification &, const Notification &) = default;
};

} // namespace vesko

Q_DECLARE_METATYPE(vesko::Notification)
