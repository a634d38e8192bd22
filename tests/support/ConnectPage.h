#pragma once

// The demo service's connect page as a browser submits it: its hidden fields
// and the button the user pressed.
#include <QRegularExpression>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

inline QString unescapedHtml(QString s)
{
    return s.replace(u"&#39;"_s, u"'"_s)
        .replace(u"&quot;"_s, u"\""_s)
        .replace(u"&lt;"_s, u"<"_s)
        .replace(u"&gt;"_s, u">"_s)
        .replace(u"&amp;"_s, u"&"_s);
}

inline QUrlQuery connectForm(const QByteArray &page, const QString &decision)
{
    QUrlQuery form;
    static const QRegularExpression hidden(u"<input type=\"hidden\" name=\"(\\w+)\" value=\"([^\"]*)\""_s);
    for (const auto &m : hidden.globalMatch(QString::fromUtf8(page)))
        form.addQueryItem(m.captured(1), QString::fromLatin1(QUrl::toPercentEncoding(unescapedHtml(m.captured(2)))));
    form.addQueryItem(u"decision"_s, decision);
    return form;
}
