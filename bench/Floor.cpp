// The floors vesko's idle and start are measured against: a program that
// does the same job and nothing more. Every minute it asks the service for
// the same three answers vesko asks for, at once, on kept-alive connections,
// and reads the summary's MRR. Built twice: the job floor also registers a
// tray item (no keyring, no panel, no menu) and shows the MRR in its title;
// the headless floor links neither Gui nor D-Bus.
//   vesko-bench-floor-job|vesko-bench-floor-headless BASE_URL   (token in $VESKO_BENCH_TOKEN)
// After its first round of answers it prints the MRR it read, then "polled".
#ifdef VESKO_FLOOR_TRAY
#include "bench/FloorItem.h"

#include <QDBusMessage>
#include <QGuiApplication>
#else
#include <QCoreApplication>
#endif

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <utility>

using namespace Qt::StringLiterals;

#ifdef VESKO_FLOOR_TRAY
bool FloorItem::registerOn(QDBusConnection bus)
{
    if (!bus.registerObject(u"/StatusNotifierItem"_s, this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                                | QDBusConnection::ExportAllProperties))
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(u"org.kde.StatusNotifierWatcher"_s, u"/StatusNotifierWatcher"_s,
                                       u"org.kde.StatusNotifierWatcher"_s, u"RegisterStatusNotifierItem"_s);
    // Not waited for: the watcher answers whenever it likes, as with vesko.
    return bus.send(call << bus.baseService());
}

void FloorItem::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit NewTitle();
}
#endif

namespace {

constexpr int intervalMs = 60'000;

class Poller : public QObject
{
public:
    Poller(QUrl base, const QByteArray &token)
        : m_base(std::move(base)),
          m_token("Bearer " + token)
    {
        m_next.setSingleShot(true);
        connect(&m_next, &QTimer::timeout, this, &Poller::poll);
    }

    void poll()
    {
        for (const char *path : {"v1/summary?project=all", "v1/events?limit=5", "v1/me"}) {
            QNetworkRequest request(m_base.resolved(QUrl(QString::fromLatin1(path))));
            request.setRawHeader("Authorization", m_token);
            QNetworkReply *reply = m_network.get(request);
            ++m_waiting;
            connect(reply, &QNetworkReply::finished, this, [this, reply, path] {
                reply->deleteLater();
                const QByteArray body = reply->readAll();
                if (path[3] == 's')
                    m_mrr = QJsonDocument::fromJson(body).object().value(u"data").toObject().value(u"mrr").toInteger();
                if (--m_waiting == 0)
                    done();
            });
        }
    }

    std::function<void(qint64 mrr)> answered;

private:
    void done()
    {
        if (std::exchange(m_first, false)) {
            std::printf("mrr %lld\npolled\n", static_cast<long long>(m_mrr));
            std::fflush(stdout);
        }
        if (answered)
            answered(m_mrr);
        // The next round one interval after this one ended, as vesko does.
        m_next.start(intervalMs);
    }

    QNetworkAccessManager m_network;
    QTimer m_next;
    QUrl m_base;
    QByteArray m_token;
    int m_waiting = 0;
    qint64 m_mrr = 0;
    bool m_first = true;
};

} // namespace

int main(int argc, char **argv)
{
#ifdef VESKO_FLOOR_TRAY
    QGuiApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    if (argc < 2) {
        std::fputs("usage: vesko-bench-floor-job|vesko-bench-floor-headless BASE_URL\n", stderr);
        return 2;
    }
    QUrl base(QString::fromLocal8Bit(argv[1]));
    if (!base.path().endsWith(u'/'))
        base.setPath(base.path() + u'/');
    Poller poller(base, qgetenv("VESKO_BENCH_TOKEN"));
#ifdef VESKO_FLOOR_TRAY
    FloorItem item;
    if (!item.registerOn(QDBusConnection::sessionBus())) {
        std::fputs("vesko-bench-floor-job: the tray item could not be exported\n", stderr);
        return 1;
    }
    poller.answered = [&item](qint64 mrr) { item.setTitle(QString::number(mrr / 100)); };
#endif
    poller.poll();
    return app.exec();
}
