#pragma once

// A healthy service on loopback: summary, events and account record from the
// fixtures, the code exchange handing out "tok_new". `replies` overrides any
// path, so a test scripts only what it is about.
#include "tests/support/Fixtures.h"
#include "tests/support/TestHttpServer.h"

#include <algorithm>

struct ScriptedService
{
    TestHttpServer server;
    QMap<QByteArray, ScriptedReply> replies;
    QJsonArray events{fixtures::event()};
    QByteArray token = R"({"data":{"token":"tok_new"}})";

    ScriptedService()
    {
        server.setScript([this](const ReceivedRequest &r) {
            const QByteArray path = r.target.split('?').first();
            if (replies.contains(path))
                return replies.value(path);
            if (path == "/v1/summary")
                return ScriptedReply::json(200, fixtures::envelope(fixtures::summary()));
            if (path == "/v1/events")
                return ScriptedReply::json(200, fixtures::envelope(events));
            if (path == "/v1/me")
                return ScriptedReply::json(200, fixtures::envelope(fixtures::me()));
            if (path == "/v1/app-auth/token")
                return ScriptedReply::json(r.method == "POST" ? 200 : 204, r.method == "POST" ? token : QByteArray());
            return ScriptedReply::json(404, "{}");
        });
    }
    QUrl origin() const { return QUrl(QString::fromLatin1(server.origin())); }
    int count(const QByteArray &path) const
    {
        return int(std::count_if(server.requests().begin(), server.requests().end(),
                                 [&](const ReceivedRequest &r) { return r.target.split('?').first() == path; }));
    }
};
