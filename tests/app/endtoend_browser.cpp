// The user's browser in the end-to-end test: xdg-open starts it (as $BROWSER)
// with the connect page; it presses Approve and, as a desktop does with a
// vesko: link, starts `vesko <link>`.
#include "tests/support/ConnectPage.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QByteArray await(QNetworkReply *reply)
{
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return reply->readAll();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: endtoend_browser URL\n");
        return 2;
    }
    const QUrl page = QUrl::fromEncoded(argv[1]);
    QNetworkAccessManager network;
    const QUrlQuery form = connectForm(await(network.get(QNetworkRequest(page))), u"approve"_s);

    QNetworkRequest post(page.adjusted(QUrl::RemoveQuery));
    post.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    post.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *answer = network.post(post, form.toString(QUrl::FullyEncoded).toUtf8());
    await(answer);
    const QUrl callback = answer->header(QNetworkRequest::LocationHeader).toUrl();
    if (callback.scheme() != u"vesko") {
        std::fprintf(stderr, "endtoend_browser: no vesko: link from %s\n", argv[1]);
        return 1;
    }
    return QProcess::execute(QStringLiteral(VESKO_BINARY), {callback.toString(QUrl::FullyEncoded)});
}
