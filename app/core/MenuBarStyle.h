#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace vesko {

// What the tray item shows, stored by its raw text.
namespace MenuBarStyles {
Q_NAMESPACE

enum class MenuBarStyle {
    both,
    amount,
    snout
};
Q_ENUM_NS(MenuBarStyle)

} // namespace MenuBarStyles

using MenuBarStyles::MenuBarStyle;

QString rawValue(MenuBarStyle style);
// Exact, case-sensitive match on "both", "amount", "snout".
std::optional<MenuBarStyle> menuBarStyleFromRaw(QStringView raw);

} // namespace vesko
