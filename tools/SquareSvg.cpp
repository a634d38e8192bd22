#include "tools/SquareSvg.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

struct ViewBox
{
    double x, y, width, height;
};

std::optional<ViewBox> parsedViewBox(const QString &text)
{
    static const QRegularExpression separators(uR"([\s,]+)"_s);
    const QStringList parts = text.split(separators, Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return std::nullopt;
    std::array<double, 4> values{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toDouble(&ok);
        if (!ok || !std::isfinite(values[i]))
            return std::nullopt;
    }
    if (!(values[2] > 0 && values[3] > 0))
        return std::nullopt;
    return ViewBox{values[0], values[1], values[2], values[3]};
}

QString number(double value)
{
    return QString::number(value, 'g', 12);
}

// The root start tag rebuilt from what the reader parsed, with the square
// canvas, up to but without its closing ">" or "/>"; empty when the root has no
// usable viewBox.
QString squaredRootTag(const QXmlStreamReader &reader)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    const std::optional<ViewBox> box = parsedViewBox(attributes.value(u"viewBox"_s).toString());
    if (!box)
        return {};
    const double side = std::max(box->width, box->height);
    const QString squareBox = number(box->x - (side - box->width) / 2) + u' '
                              + number(box->y - (side - box->height) / 2) + u' ' + number(side) + u' ' + number(side);

    QString tag = u'<' + reader.qualifiedName().toString();
    for (const QXmlStreamNamespaceDeclaration &declaration : reader.namespaceDeclarations()) {
        tag += u" xmlns"_s;
        if (!declaration.prefix().isEmpty())
            tag += u':' + declaration.prefix().toString();
        tag += u"=\""_s + declaration.namespaceUri().toString().toHtmlEscaped() + u'"';
    }
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.isDefault())
            continue;
        QString value = attribute.value().toString();
        if (attribute.namespaceUri().isEmpty()) {
            if (attribute.name() == u"viewBox")
                value = squareBox;
            else if (attribute.name() == u"width" || attribute.name() == u"height")
                value = number(side);
        }
        tag += u' ' + attribute.qualifiedName().toString() + u"=\""_s + value.toHtmlEscaped() + u'"';
    }
    return tag;
}

// Just past `what` from `from` on; -1 when it does not occur.
qsizetype past(const QString &text, qsizetype from, QStringView what)
{
    const qsizetype at = text.indexOf(what, from);
    return at < 0 ? -1 : at + what.size();
}

// Just past the ">" that closes the markup at `from`: the first one outside
// quotes and, for a document type, outside its internal subset.
qsizetype pastMarkup(const QString &text, qsizetype from)
{
    QChar quote;
    int depth = 0;
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'[') {
            ++depth;
        } else if (c == u']') {
            --depth;
        } else if (c == u'>' && depth == 0) {
            return i + 1;
        }
    }
    return -1;
}

// Where the root's start tag begins: past the XML declaration, comments,
// processing instructions and the document type (QXmlStreamReader reads ahead,
// so its character offsets cannot say).
qsizetype rootTagStart(const QString &text)
{
    qsizetype i = 0;
    while (i >= 0 && (i = text.indexOf(u'<', i)) >= 0) {
        const QStringView rest = QStringView(text).sliced(i);
        if (rest.startsWith(u"<?"))
            i = past(text, i, u"?>");
        else if (rest.startsWith(u"<!--"))
            i = past(text, i, u"-->");
        else if (rest.startsWith(u"<!"))
            i = pastMarkup(text, i);
        else
            return i;
    }
    return -1;
}

} // namespace

QByteArray squaredSvg(const QByteArray &svg, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return QByteArray();
    };
    const QString text = QString::fromUtf8(svg);
    QXmlStreamReader reader(text);
    QString rootTag;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || !rootTag.isEmpty())
            continue;
        if (reader.name() != u"svg" || reader.namespaceUri() != u"http://www.w3.org/2000/svg")
            return fail(u"the root element is not an SVG element"_s);
        rootTag = squaredRootTag(reader);
        if (rootTag.isEmpty())
            return fail(u"the root element has no viewBox of four numbers with a positive size"_s);
    }
    if (reader.hasError())
        return fail(u"line %1: %2"_s.arg(reader.lineNumber()).arg(reader.errorString()));
    if (rootTag.isEmpty())
        return fail(u"no root element"_s);

    // The document is well-formed: its first tag is the root's, and only that
    // tag is replaced. Offsets are in characters, so it is cut as text.
    const qsizetype start = rootTagStart(text);
    const qsizetype end = start < 0 ? -1 : pastMarkup(text, start);
    if (end < 0)
        return fail(u"the root start tag cannot be found"_s);
    const bool selfClosing = text.at(end - 2) == u'/';
    return (text.first(start) + rootTag + (selfClosing ? u"/>"_s : u">"_s) + text.sliced(end)).toUtf8();
}

} // namespace vesko
