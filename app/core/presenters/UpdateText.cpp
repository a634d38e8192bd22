#include "UpdateText.h"

namespace vesko {

namespace {

// The feed names the version: a long one must not push the rest out of a
// notification title.
constexpr qsizetype maxVersionLength = 16;

QString shortened(QString version)
{
    version = version.simplified();
    if (version.size() > maxVersionLength)
        version = version.left(maxVersionLength - 1) + u'\u2026';
    return version;
}

} // namespace

UpdateText updateText(UpdateStatus status, const QString &version)
{
    const QString shown = shortened(version);
    const QString vesko = shown.isEmpty() ? QStringLiteral("Vesko") : QStringLiteral("Vesko ") + shown;
    switch (status) {
    case UpdateStatus::none:
        break;
    case UpdateStatus::checking:
        return {QStringLiteral("Checking for updates\u2026"), {}, {}};
    case UpdateStatus::upToDate:
        return {vesko + QStringLiteral(" is the newest version."),
                {},
                {QStringLiteral("Vesko is up to date"), vesko + QStringLiteral(" is the newest version."), {}}};
    case UpdateStatus::failed:
        return {QStringLiteral("Couldn\u2019t check for updates. Try again later."),
                {},
                {QStringLiteral("Couldn\u2019t check for updates"), QStringLiteral("Try again later."), {}}};
    case UpdateStatus::available:
        return {vesko + QStringLiteral(" is available."),
                QStringLiteral("Download"),
                {vesko + QStringLiteral(" is available"), QStringLiteral("Click to open its download page."), {}}};
    }
    return {};
}

} // namespace vesko
