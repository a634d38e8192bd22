#pragma once

#include <QString>
#include <QUrl>

namespace vesko {

using namespace Qt::StringLiterals;

// A view of the panel's QML module (Vesko.Panel), compiled into the binary.
inline QUrl panelQml(const QString &file)
{
    return QUrl(u"qrc:/vesko/Vesko/Panel/"_s + file);
}

} // namespace vesko
