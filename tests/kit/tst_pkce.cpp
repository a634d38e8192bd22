#include "kit/PKCE.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

using vesko::PKCE;

class PkceTest : public QObject
{
    Q_OBJECT

private slots:
    void knownChallenges_data()
    {
        QTest::addColumn<QString>("verifier");
        QTest::addColumn<QString>("challenge");
        // RFC 7636, Appendix B.
        QTest::newRow("rfc 7636") << "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"
                                  << "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM";
        QTest::newRow("empty") << ""
                               << "47DEQpj8HBSa-_TImW-5JCeuQeRkm5NMpJWZG3hSuFU";
        // Hashed over UTF-8, not Latin-1 or UTF-16.
        QTest::newRow("non-ASCII") << QString::fromUtf8("\xc3\xa9-verifier")
                                   << "I5AU8fqzoBawKP4RW9tzoHzIem7swIKfQeZOXhUfcmg";
    }
    void knownChallenges()
    {
        QFETCH(QString, verifier);
        QFETCH(QString, challenge);
        const PKCE pkce(verifier);
        QCOMPARE(pkce.verifier(), verifier);
        QCOMPARE(pkce.challenge(), challenge);
    }

    void generatedPairs()
    {
        static const QRegularExpression base64Url(u"^[A-Za-z0-9_-]{43}$"_s);
        QSet<QString> seen;
        for (int i = 0; i < 200; ++i) {
            const PKCE pkce;
            QVERIFY2(base64Url.match(pkce.verifier()).hasMatch(), qPrintable(pkce.verifier()));
            QVERIFY(base64Url.match(pkce.challenge()).hasMatch());
            QCOMPARE(pkce.challenge(), PKCE(pkce.verifier()).challenge());
            seen.insert(pkce.verifier());
        }
        QCOMPARE(seen.size(), 200);
    }
};

QTEST_GUILESS_MAIN(PkceTest)
#include "tst_pkce.moc"
