#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace vesko {

// What the tray item shows, stored by its raw text.
namespace TrayStyles {
Q_NAMESPACE

enum class TrayStyle {
    both,
    amount,
    snout
};
Q_ENUM_NS(TrayStyle)

} // namespace TrayStyles

using TrayStyles::TrayStyle;

QString rawValue(TrayStyle style);
// Exact, case-sensitive match on "both", "amount", "snout".
std::optional<TrayStyle> trayStyleFromRaw(QStringView raw);

} // namespace vesko
