#include "app/core/Appcast.h"

#include <QList>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

constexpr auto sparkle = "http://www.andymatuschak.org/xml-namespaces/sparkle"_L1;

// A shortVersionString longer than this is no name to show the user.
constexpr qsizetype maxDisplayLength = 64;

struct Item
{
    QString version;
    QString shortVersion;
    QString enclosureVersion;
    QString enclosureShortVersion;
    QString link;
    QString releaseNotesLink;
    QString channel;
};

struct Feed
{
    QList<Item> items;
    QString link;
};

bool isPlain(const QXmlStreamReader &xml, QLatin1StringView name)
{
    return xml.namespaceUri().isEmpty() && xml.name() == name;
}

bool isSparkle(const QXmlStreamReader &xml, QLatin1StringView name)
{
    return xml.namespaceUri() == sparkle && xml.name() == name;
}

QString text(QXmlStreamReader &xml)
{
    return xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
}

Item readItem(QXmlStreamReader &xml)
{
    Item item;
    while (xml.readNextStartElement()) {
        if (isPlain(xml, "link"_L1)) {
            item.link = text(xml);
        } else if (isSparkle(xml, "version"_L1)) {
            item.version = text(xml);
        } else if (isSparkle(xml, "shortVersionString"_L1)) {
            item.shortVersion = text(xml);
        } else if (isSparkle(xml, "releaseNotesLink"_L1)) {
            item.releaseNotesLink = text(xml);
        } else if (isSparkle(xml, "channel"_L1)) {
            item.channel = text(xml);
        } else if (isPlain(xml, "enclosure"_L1)) {
            // The first enclosure that names a version speaks for the item.
            const QXmlStreamAttributes attributes = xml.attributes();
            const QString version = attributes.value(sparkle, "version"_L1).trimmed().toString();
            if (item.enclosureVersion.isEmpty() && !version.isEmpty()) {
                item.enclosureVersion = version;
                item.enclosureShortVersion = attributes.value(sparkle, "shortVersionString"_L1).trimmed().toString();
            }
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
    return item;
}

void readChannel(QXmlStreamReader &xml, Feed &feed)
{
    while (xml.readNextStartElement()) {
        if (isPlain(xml, "item"_L1))
            feed.items.append(readItem(xml));
        else if (isPlain(xml, "link"_L1))
            feed.link = text(xml);
        else
            xml.skipCurrentElement();
    }
}

bool readFeed(QXmlStreamReader &xml, Feed &feed)
{
    // Entity tricks live in a DTD, and no appcast needs one: refuse it before
    // any declaration in it can be used.
    while (!xml.atEnd() && !xml.isStartElement()) {
        if (xml.readNext() == QXmlStreamReader::DTD)
            return false;
    }
    if (!xml.isStartElement() || !isPlain(xml, "rss"_L1))
        return false;
    bool sawChannel = false;
    while (xml.readNextStartElement()) {
        if (!sawChannel && isPlain(xml, "channel"_L1)) {
            sawChannel = true;
            readChannel(xml, feed);
        } else {
            xml.skipCurrentElement();
        }
    }
    // Nothing but comments may follow the feed.
    while (!xml.atEnd())
        xml.readNext();
    return !xml.hasError();
}

// Only a web page is offered: a javascript:, file: or custom-scheme link
// must not reach the browser.
QUrl webPage(const QString &link, const QUrl &feedUrl)
{
    if (link.isEmpty())
        return {};
    QUrl url(link, QUrl::StrictMode);
    if (url.isRelative())
        url = feedUrl.resolved(url);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty())
        return {};
    return url;
}

QString displayVersion(const Item &item, const QString &version)
{
    QString shortVersion = (item.shortVersion.isEmpty() ? item.enclosureShortVersion : item.shortVersion).simplified();
    if (shortVersion.isEmpty() || shortVersion.size() > maxDisplayLength)
        return version;
    return shortVersion;
}

} // namespace

std::optional<AppcastRelease> Appcast::newestRelease(const QByteArray &document, const QUrl &feedUrl)
{
    QXmlStreamReader xml(document);
    Feed feed;
    if (!readFeed(xml, feed))
        return std::nullopt;

    const Item *newest = nullptr;
    Version newestVersion;
    for (const Item &item : std::as_const(feed.items)) {
        // Items on a named channel (betas and the like) are for those who opted in.
        if (!item.channel.isEmpty())
            continue;
        const Version version = Version::parse(item.version.isEmpty() ? item.enclosureVersion : item.version);
        if (version.isValid() && (!newest || version > newestVersion)) {
            newest = &item;
            newestVersion = version;
        }
    }
    if (!newest)
        return std::nullopt;

    QUrl page;
    for (const QString &link : {newest->link, newest->releaseNotesLink, feed.link}) {
        page = webPage(link, feedUrl);
        if (!page.isEmpty())
            break;
    }
    if (page.isEmpty())
        return std::nullopt;
    return AppcastRelease{newestVersion, displayVersion(*newest, newestVersion.text()), page};
}

} // namespace vesko
