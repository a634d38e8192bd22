// The application icon's square canvas.
#include "tools/SquareSvg.h"

#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

// Written as a plain string: moc reads "//" inside a raw string as a comment.
const QByteArray svgNamespace = "xmlns=\"http://www.w3.org/2000/svg\"";

struct Root
{
    QString qualifiedName, namespaceUri, viewBox, width, height, title;
    bool hasWidth = false;
};

// The root's attributes, and the text of the first <title>, read back.
Root readRoot(const QByteArray &svg)
{
    Root root;
    QXmlStreamReader reader(svg);
    while (reader.readNextStartElement()) {
        if (root.qualifiedName.isEmpty()) {
            root.qualifiedName = reader.qualifiedName().toString();
            root.namespaceUri = reader.namespaceUri().toString();
            const QXmlStreamAttributes attributes = reader.attributes();
            root.viewBox = attributes.value(u"viewBox"_s).toString();
            root.hasWidth = attributes.hasAttribute(u"width"_s);
            root.width = attributes.value(u"width"_s).toString();
            root.height = attributes.value(u"height"_s).toString();
            continue;
        }
        if (reader.name() == u"title")
            root.title = reader.readElementText();
        else
            reader.skipCurrentElement();
    }
    return root;
}

QByteArray afterRootTag(const QByteArray &svg)
{
    const qsizetype start = svg.indexOf("<svg");
    return svg.mid(svg.indexOf('>', start) + 1);
}

} // namespace

class TestSquareSvg : public QObject
{
    Q_OBJECT

private slots:
    void squares_data()
    {
        QTest::addColumn<QString>("rootAttributes");
        QTest::addColumn<QString>("viewBox");
        QTest::addColumn<QString>("side");

        QTest::newRow("wide, like the snout") << R"(width="120" height="84" viewBox="0 0 120 84")"
                                              << "0 -18 120 120"
                                              << "120";
        QTest::newRow("tall") << R"(width="84" height="120" viewBox="0 0 84 120")"
                              << "-18 0 120 120"
                              << "120";
        QTest::newRow("already square") << R"(width="16" height="16" viewBox="0 0 16 16")"
                                        << "0 0 16 16"
                                        << "16";
        QTest::newRow("offset origin, commas") << R"(width="1" height="1" viewBox="10,20,100,50")"
                                               << "10 -5 100 100"
                                               << "100";
        QTest::newRow("fractional") << R"(width="3" height="2" viewBox=" 0  0 3 2 ")"
                                    << "0 -0.5 3 3"
                                    << "3";
        QTest::newRow("no width or height") << R"(viewBox="0 0 40 20")"
                                            << "0 -10 40 40"
                                            << "";
    }
    void squares()
    {
        QFETCH(QString, rootAttributes);
        QFETCH(QString, viewBox);
        QFETCH(QString, side);
        const QByteArray body = R"(<title>Végső &amp; "mark"</title><path d="M0 0H1V1Z"/></svg>)"
                                "\n";
        const QByteArray svg = "<svg " + svgNamespace + ' ' + rootAttributes.toUtf8() + ">" + body;

        QString error;
        const QByteArray squared = squaredSvg(svg, &error);
        QVERIFY2(!squared.isEmpty(), qPrintable(error));

        const Root root = readRoot(squared);
        QCOMPARE(root.qualifiedName, u"svg");
        QCOMPARE(root.namespaceUri, u"http://www.w3.org/2000/svg");
        QCOMPARE(root.viewBox, viewBox);
        QCOMPARE(root.hasWidth, !side.isEmpty());
        QCOMPARE(root.width, side);
        QCOMPARE(root.height, side);
        QCOMPARE(root.title, u"Végső & \"mark\"");
        QCOMPARE(afterRootTag(squared), body);
    }

    // Only the root's start tag changes; what precedes and follows it stays as
    // written, however much of it looks like markup.
    void keepsAllButTheRootTag_data()
    {
        QTest::addColumn<QByteArray>("prolog");
        QTest::addColumn<QByteArray>("extraAttribute");
        QTest::addColumn<QByteArray>("body");

        QTest::newRow("bare") << QByteArray() << QByteArray() << QByteArray(R"(<path d="M0 0H1Z"/></svg>)");
        QTest::newRow("declaration, comment with a tag")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- <svg viewBox=\"0 0 1 1\"> -->\n")
            << QByteArray() << QByteArray("<g/></svg>\n");
        QTest::newRow("processing instruction with >")
            << QByteArray(R"(<?xml-stylesheet href="a>b.css"?>)") << QByteArray() << QByteArray("</svg>");
        QTest::newRow("document type with internal subset")
            << QByteArray(R"(<!DOCTYPE svg [ <!ENTITY mark "x>y"> ]>)") << QByteArray()
            << QByteArray("<title>&mark;</title></svg>");
        QTest::newRow("> inside a root attribute")
            << QByteArray() << QByteArray(R"( data-note='a > b')") << QByteArray("<title>Végső</title></svg>");
        QTest::newRow("self-closing root") << QByteArray("\n") << QByteArray() << QByteArray("\n");
    }
    void keepsAllButTheRootTag()
    {
        QFETCH(QByteArray, prolog);
        QFETCH(QByteArray, extraAttribute);
        QFETCH(QByteArray, body);
        const bool selfClosing = !body.contains("</svg>");
        const QByteArray svg = prolog + "<svg " + svgNamespace + R"( viewBox="0 0 4 2")" + extraAttribute
                               + (selfClosing ? "/>" : ">") + body;
        QString error;
        const QByteArray squared = squaredSvg(svg, &error);
        QVERIFY2(!squared.isEmpty(), qPrintable(error));
        const QByteArray note = extraAttribute.isEmpty() ? QByteArray() : QByteArray(R"( data-note="a &gt; b")");
        QCOMPARE(squared,
                 prolog + "<svg " + svgNamespace + R"( viewBox="0 -1 4 4")" + note + (selfClosing ? "/>" : ">") + body);
    }

    void keepsOtherAttributesAndNamespaces()
    {
        const QByteArray svg = "<svg " + svgNamespace
                               + " xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                                 R"(xlink:title="a &lt;b&gt; &amp; &quot;c&quot;" class="x" viewBox="0 0 2 1"/>)";
        const QByteArray squared = squaredSvg(svg);
        QVERIFY(!squared.isEmpty());
        QXmlStreamReader reader(squared);
        QVERIFY(reader.readNextStartElement());
        QCOMPARE(reader.attributes().value(u"http://www.w3.org/1999/xlink"_s, u"title"_s), u"a <b> & \"c\"");
        QCOMPARE(reader.attributes().value(u"class"_s), u"x");
        QCOMPARE(reader.attributes().value(u"viewBox"_s), u"0 -0.5 2 2");
        reader.skipCurrentElement();
        reader.readNext();
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    }

    void refuses_data()
    {
        QTest::addColumn<QByteArray>("svg");
        const QByteArray open = "<svg " + svgNamespace + ' ';

        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not closed") << open + R"(viewBox="0 0 2 1">)";
        QTest::newRow("something after the root") << open + R"(viewBox="0 0 2 1"/><svg/>)";
        QTest::newRow("root is not svg") << "<html " + svgNamespace + R"( viewBox="0 0 2 1"/>)";
        QTest::newRow("svg outside the SVG namespace") << QByteArray(R"(<svg viewBox="0 0 2 1"/>)");
        QTest::newRow("no viewBox") << open + R"(width="2" height="1"/>)";
        QTest::newRow("three numbers") << open + R"(viewBox="0 0 2"/>)";
        QTest::newRow("five numbers") << open + R"(viewBox="0 0 2 1 1"/>)";
        QTest::newRow("not a number") << open + R"(viewBox="0 0 two 1"/>)";
        QTest::newRow("zero width") << open + R"(viewBox="0 0 0 1"/>)";
        QTest::newRow("negative height") << open + R"(viewBox="0 0 2 -1"/>)";
        QTest::newRow("infinite") << open + R"(viewBox="0 0 inf 1"/>)";
        QTest::newRow("not a number at all") << open + R"(viewBox="0 0 nan 1"/>)";
    }
    void refuses()
    {
        QFETCH(QByteArray, svg);
        QString error;
        QVERIFY(squaredSvg(svg, &error).isEmpty());
        QVERIFY(!error.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestSquareSvg)
#include "tst_squaresvg.moc"
