#include "devservice/WebPages.h"

#include "devservice/AuthorizationServer.h"
#include "devservice/ServiceState.h"

#include <QJsonArray>
#include <QLocale>
#include <QXmlStreamWriter>

using namespace Qt::StringLiterals;

namespace vesko::devservice {

namespace {

// Every text that reaches a page goes through here, in element content and in
// double-quoted attributes alike.
QString escaped(const QString &text)
{
    QString result = text.toHtmlEscaped();
    result.replace(u'\'', u"&#39;"_s);
    return result;
}

QString page(const QString &title, const QString &body)
{
    return uR"(<!doctype html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>)"_s + escaped(title)
           + uR"( · Vesko</title>
<style>
body{font-family:system-ui,sans-serif;max-width:36rem;margin:3rem auto;padding:0 1rem;color:#1b1d2a}
h1{font-size:1.5rem}table{border-collapse:collapse;width:100%}td{padding:.3rem 0}
td.n{text-align:right;font-variant-numeric:tabular-nums}
button{font:inherit;padding:.5rem 1.4rem;margin-right:.5rem;border-radius:.5rem;border:1px solid #2340ff}
button.primary{background:#2340ff;color:#fff}.muted{color:#666}
</style></head><body>
)"_s + body + u"\n</body></html>\n"_s;
}

QString money(qint64 minorUnits, const QString &currency)
{
    const qint64 magnitude = minorUnits < 0 ? -minorUnits : minorUnits;
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return (minorUnits < 0 ? u"-"_s : QString()) + english.toString(magnitude / 100) + u'.'
           + QString::number(magnitude % 100).rightJustified(2, u'0') + u' ' + currency;
}

HttpReply errorPage(const QString &title, const QString &message, int status)
{
    return HttpReply::html(page(title, u"<h1>"_s + escaped(title) + u"</h1>\n<p>"_s + escaped(message) + u"</p>"_s),
                           status);
}

HttpReply invalidSignInLink()
{
    return errorPage(u"This sign-in link does not work"_s,
                     u"It is incomplete or damaged. Go back to Vesko and choose Sign in again."_s, 400);
}

} // namespace

WebPages::WebPages(ServiceState &state, QUrl origin)
    : m_state(state),
      m_origin(std::move(origin))
{}

HttpReply WebPages::handle(const IncomingRequest &request)
{
    const QString &path = request.path;
    if (path == u"connect-app" && request.method == "POST")
        return connectDecision(request);
    if (request.method != "GET")
        return errorPage(u"Not allowed"_s, u"This page cannot be used that way."_s, 405);
    if (path == u"connect-app")
        return connectPage(request);
    if (path.isEmpty())
        return HttpReply::redirect(u"/app"_s);
    if (path == u"app")
        return dashboard();
    if (path == u"app/settings")
        return settings();
    if (path == u"download")
        return download();
    if (path == u"appcast.xml")
        return appcast();
    return errorPage(u"Not found"_s, u"There is no page here."_s, 404);
}

HttpReply WebPages::connectPage(const IncomingRequest &request) const
{
    const QString challenge = request.queryItem(u"challenge"_s);
    if (!AuthorizationServer::isChallenge(challenge))
        return invalidSignInLink();
    const QString platform = request.queryItem(u"platform"_s);
    QString name = request.queryItem(u"name"_s).trimmed();
    if (name.isEmpty())
        name = u"A computer"_s;

    // No CSRF token: an approval forged by another site still ends at vesko://,
    // and only the app that made the challenge holds the verifier for the code.
    const QString body =
        u"<h1>"_s + escaped(name) + u" wants to show your revenue</h1>\n"_s + u"<p>Vesko"_s
        + (platform.isEmpty() ? QString() : u" for "_s + escaped(platform))
        + u" asks to read your revenue, subscriptions and account settings. "
          "It cannot change anything.</p>\n"_s
        + u"<form method=\"post\" action=\"/connect-app\">\n"
          "<input type=\"hidden\" name=\"challenge\" value=\""_s
        + escaped(challenge) + u"\">\n"_s + u"<input type=\"hidden\" name=\"platform\" value=\""_s + escaped(platform)
        + u"\">\n"_s + u"<input type=\"hidden\" name=\"name\" value=\""_s + escaped(name) + u"\">\n"_s
        + u"<button class=\"primary\" type=\"submit\" name=\"decision\" value=\"approve\">Approve</button>\n"
          "<button type=\"submit\" name=\"decision\" value=\"deny\">Deny</button>\n</form>"_s;
    return HttpReply::html(page(u"Connect Vesko"_s, body));
}

HttpReply WebPages::connectDecision(const IncomingRequest &request)
{
    const QUrlQuery form = request.form();
    const QString decision = form.queryItemValue(u"decision"_s, QUrl::FullyDecoded);
    if (decision == u"deny")
        return HttpReply::redirect(u"vesko://callback"_s);
    if (decision != u"approve")
        return errorPage(u"Nothing was decided"_s, u"Choose Approve or Deny."_s, 400);
    const QString challenge = form.queryItemValue(u"challenge"_s, QUrl::FullyDecoded);
    if (!AuthorizationServer::isChallenge(challenge))
        return invalidSignInLink();
    // The code is base64url, so it needs no escaping in the query.
    return HttpReply::redirect(u"vesko://callback?code="_s + m_state.auth.issueCode(challenge));
}

HttpReply WebPages::dashboard() const
{
    const QJsonObject me = m_state.demo.me();
    const QJsonObject summary = m_state.demo.summary(m_state.clock.now(), u"all"_s);
    const QString currency = summary.value(u"currency"_s).toString();
    QString rows;
    for (const QJsonValue entry : summary.value(u"by_channel"_s).toArray()) {
        const QJsonObject channel = entry.toObject();
        rows += u"<tr><td>"_s + escaped(channel.value(u"channel"_s).toString()) + u"</td><td class=\"n\">"_s
                + escaped(money(channel.value(u"mrr"_s).toInteger(), currency)) + u"</td></tr>\n"_s;
    }
    const QString body = u"<h1>Dashboard</h1>\n<p class=\"muted\">"_s + escaped(me.value(u"name"_s).toString())
                         + u"</p>\n<p>Monthly recurring revenue: <strong>"_s
                         + escaped(money(summary.value(u"mrr"_s).toInteger(), currency)) + u"</strong></p>\n<table>\n"_s
                         + rows + u"</table>\n<p><a href=\"/app/settings\">Account settings</a></p>"_s;
    return HttpReply::html(page(u"Dashboard"_s, body));
}

HttpReply WebPages::settings() const
{
    const QJsonObject me = m_state.demo.me();
    QString devices;
    for (const RegisteredDevice &device : m_state.devices)
        devices += u"<li>"_s + escaped(device.platform) + u" ("_s + escaped(device.environment) + u")</li>\n"_s;
    if (devices.isEmpty())
        devices = u"<li class=\"muted\">None yet</li>\n"_s;
    auto yesNo = [&](const QString &key) { return me.value(key).toBool() ? u"on"_s : u"off"_s; };
    const QString body =
        u"<h1>Account settings</h1>\n<table>\n<tr><td>Name</td><td class=\"n\">"_s
        + escaped(me.value(u"name"_s).toString()) + u"</td></tr>\n<tr><td>Email</td><td class=\"n\">"_s
        + escaped(me.value(u"email"_s).toString()) + u"</td></tr>\n<tr><td>Currency</td><td class=\"n\">"_s
        + escaped(me.value(u"currency"_s).toString())
        + u"</td></tr>\n<tr><td>Notify about cancellations</td><td class=\"n\">"_s + yesNo(u"notify_cancellations"_s)
        + u"</td></tr>\n<tr><td>Count subscriptions that are ending</td><td class=\"n\">"_s
        + yesNo(u"count_ending_subscriptions"_s) + u"</td></tr>\n</table>\n<h2>Devices</h2>\n<ul>\n"_s + devices
        + u"</ul>\n<p><a href=\"/app\">Dashboard</a></p>"_s;
    return HttpReply::html(page(u"Account settings"_s, body));
}

HttpReply WebPages::download() const
{
    const QString version = escaped(m_state.appVersion);
    return HttpReply::html(
        page(u"Download"_s, u"<h1>Vesko "_s + version + u"</h1>\n<p>Vesko "_s + version
                                + u" for Linux is ready. Install it with your usual package tools.</p>"_s));
}

HttpReply WebPages::appcast() const
{
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.setAutoFormatting(true);
    const QString sparkle = u"http://www.andymatuschak.org/xml-namespaces/sparkle"_s;
    xml.writeStartDocument();
    xml.writeNamespace(sparkle, u"sparkle"_s);
    xml.writeStartElement(u"rss"_s);
    xml.writeAttribute(u"version"_s, u"2.0"_s);
    xml.writeStartElement(u"channel"_s);
    xml.writeTextElement(u"title"_s, u"Vesko"_s);
    xml.writeTextElement(u"link"_s, m_origin.resolved(QUrl(u"appcast.xml"_s)).toString());
    xml.writeTextElement(u"description"_s, u"Updates of Vesko for Linux"_s);
    xml.writeStartElement(u"item"_s);
    xml.writeTextElement(u"title"_s, u"Vesko "_s + m_state.appVersion);
    xml.writeTextElement(u"link"_s, m_origin.resolved(QUrl(u"download"_s)).toString());
    xml.writeTextElement(sparkle, u"version"_s, m_state.appVersion);
    xml.writeTextElement(sparkle, u"shortVersionString"_s, m_state.appVersion);
    xml.writeTextElement(u"pubDate"_s,
                         QLocale::c().toString(m_state.clock.now(), u"ddd, dd MMM yyyy HH:mm:ss '+0000'"_s));
    xml.writeEndElement(); // item
    xml.writeEndElement(); // channel
    xml.writeEndElement(); // rss
    xml.writeEndDocument();
    return HttpReply::xml(document);
}

} // namespace vesko::devservice
