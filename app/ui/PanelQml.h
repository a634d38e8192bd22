#pragma once

#include <QString>
#include <QUrl>

namespace vesko {

// A view of the panel's QML module (Vesko.Panel), compiled into the binary.
inline QUrl panelQml(const QString &file)
{
    return QUrl(QStringLiteral("qrc:/vesko/Vesko/Panel/") + file);
}

} // namespace vesko
