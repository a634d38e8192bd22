// Callback URLs: the browser starts `vesko <url>` with whatever the page
// redirected to. Whatever code comes out must be the value of the first
// "code" item and nothing else: not a later item, not the fragment, not a
// piece of the next item, and it must survive being sent again.
#include "app/core/CallbackCode.h"
#include "fuzz/FuzzCheck.h"
#include "kit/VeskoConfig.h"

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

std::optional<QString> codeWithQuery(QUrl url, const QString &query)
{
    url.setQuery(query, QUrl::StrictMode);
    return callbackCode(url);
}

void check(const QUrl &url)
{
    const std::optional<QString> code = callbackCode(url);
    if (url.isValid()) {
        // An item put in front decides, whatever follows: a bare "code" means
        // no code, and the name counts once percent-decoded.
        const QString rest = url.hasQuery() ? u'&' + url.query(QUrl::FullyEncoded) : QString();
        FUZZ_CHECK(!codeWithQuery(url, u"code"_s + rest));
        FUZZ_CHECK(codeWithQuery(url, u"%63o%64e=first"_s + rest) == u"first");
    }
    if (!code) {
        // A code added at the end is found, unless a bare "code" item (no '=') comes first.
        if (url.isValid()) {
            const QString query = url.hasQuery() ? url.query(QUrl::FullyEncoded) + u"&code=abc"_s : u"code=abc"_s;
            const std::optional<QString> added = codeWithQuery(url, query);
            FUZZ_CHECK(!added || *added == u"abc");
        }
        return;
    }

    FUZZ_CHECK(url.isValid() && url.hasQuery());
    const QString query = url.query(QUrl::FullyEncoded);
    // A separator reaches the code only when it was sent percent-encoded.
    FUZZ_CHECK(!code->contains(u'&') || query.contains(u"%26", Qt::CaseInsensitive));
    FUZZ_CHECK(!code->contains(u'#') || query.contains(u"%23", Qt::CaseInsensitive));

    // Sent again the way a service encodes it, the same code comes back.
    const QUrl resent(u"vesko://callback?state=x&"_s + encodedQuery({{u"code"_s, *code}})
                          + u"&code=later#code=fragment"_s,
                      QUrl::StrictMode);
    FUZZ_CHECK(callbackCode(resent) == code);

    // Only the first item counts; scheme, host, path and fragment play no part.
    FUZZ_CHECK(codeWithQuery(url, query + u"&code=later"_s) == code);
    QUrl changed = url;
    changed.setFragment(u"code=fragment"_s);
    FUZZ_CHECK(callbackCode(changed) == code);
    changed.setScheme(u"https"_s);
    changed.setHost(u"example.com"_s);
    changed.setPath(u"/elsewhere"_s);
    if (changed.isValid())
        FUZZ_CHECK(callbackCode(changed) == code);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    // The application reads its argument strictly; a tolerant reading must be just as safe.
    check(QUrl(text, QUrl::StrictMode));
    check(QUrl(text, QUrl::TolerantMode));
    return 0;
}
