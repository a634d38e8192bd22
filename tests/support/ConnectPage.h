#pragma once

// The demo service's connect page as a browser submits it: its hidden fields
// and the button the user pressed.
#include <QRegularExpression>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

inline QString unescapedHtml(QString s)
{
    return s.replace(QStringLiteral("&#39;"), QStringLiteral("'"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
}

inline QUrlQuery connectForm(const QByteArray &page, const QString &decision)
{
    QUrlQuery form;
    static const QRegularExpression hidden(QStringLiteral("<input type=\"hidden\" name=\"(\\w+)\" value=\"([^\"]*)\""));
    for (const auto &m : hidden.globalMatch(QString::fromUtf8(page)))
        form.addQueryItem(m.captured(1), QString::fromLatin1(QUrl::toPercentEncoding(unescapedHtml(m.captured(2)))));
    form.addQueryItem(QStringLiteral("decision"), decision);
    return form;
}
