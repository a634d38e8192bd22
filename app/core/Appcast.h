#pragma once

#include "app/core/AppcastRelease.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace vesko {

// Reads a Sparkle appcast: RSS 2.0 whose items carry sparkle:version, and
// optionally sparkle:shortVersionString, as elements or as attributes of the
// enclosure. Only the feed is read: no DTD, no entity, nothing it points at.
class Appcast
{
public:
    // The newest release on the default channel. Its page is the item's link,
    // else its release notes, else the channel's link, relative ones resolved
    // against `feedUrl`. Nothing when the document is not a well-formed feed,
    // has no item with a valid version, or has no web page for the newest.
    static std::optional<AppcastRelease> newestRelease(const QByteArray &document, const QUrl &feedUrl);
};

} // namespace vesko
