#include "app/ui/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// A file of a weight other than regular and bold also names a family of its
// own ("DM Sans 9pt Medium") beside the shared one; the name every file of
// the family gives is the one that holds all its weights.
QString addFamily(std::initializer_list<const char *> files)
{
    QStringList shared;
    QString first;
    for (const char *file : files) {
        const int id = QFontDatabase::addApplicationFont(u":/vesko/fonts/"_s + QLatin1StringView(file));
        const QStringList names = QFontDatabase::applicationFontFamilies(id);
        if (names.isEmpty())
            continue;
        if (first.isEmpty()) {
            first = names.constFirst();
            shared = names;
        } else {
            shared.removeIf([&](const QString &name) { return !names.contains(name); });
        }
    }
    return shared.isEmpty() ? first : shared.constFirst();
}

} // namespace

const FontFamilies &registerFonts()
{
    static const FontFamilies families{
        .sans = addFamily(
            {"dm-sans-latin-400-normal.woff2", "dm-sans-latin-500-normal.woff2", "dm-sans-latin-700-normal.woff2"}),
        // Built from the packaged files with tabular figures as the default
        // ones, so amounts keep their width as they change.
        .display =
            addFamily({"bricolage-grotesque-latin-700-tabular.woff2", "bricolage-grotesque-latin-800-tabular.woff2"}),
    };
    return families;
}

} // namespace vesko
