#include "app/core/presenters/UpdateText.h"

using namespace Qt::StringLiterals;

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
    const QString vesko = shown.isEmpty() ? u"Vesko"_s : u"Vesko "_s + shown;
    switch (status) {
    case UpdateStatus::none:
        break;
    case UpdateStatus::checking:
        return {u"Checking for updates\u2026"_s, {}, {}};
    case UpdateStatus::upToDate:
        return {vesko + u" is the newest version."_s,
                {},
                {u"Vesko is up to date"_s, vesko + u" is the newest version."_s, {}}};
    case UpdateStatus::failed:
        return {u"Couldn\u2019t check for updates. Try again later."_s,
                {},
                {u"Couldn\u2019t check for updates"_s, u"Try again later."_s, {}}};
    case UpdateStatus::available:
        return {vesko + u" is available."_s,
                u"Download"_s,
                {vesko + u" is available"_s, u"Click to open its download page."_s, {}}};
    }
    return {};
}

} // namespace vesko
