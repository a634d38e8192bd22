// vesko-devservice: a local stand-in for the Vesko service, on 127.0.0.1 only.
// It speaks the app's JSON API with made-up demo figures, serves the connect
// page of the browser sign-in, and lets tests inject faults through /_control
// (with the secret from $VESKO_DEVSERVICE_SECRET; without one, /_control is shut).

#include "devservice/DemoBusiness.h"
#include "devservice/DevServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;
using vesko::devservice::ControlRoutes;
using vesko::devservice::DemoBusiness;
using vesko::devservice::DevServer;

namespace {

constexpr quint16 defaultPort = 47301;

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "vesko-devservice: %s\n", qUtf8Printable(message));
    std::exit(2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"vesko-devservice"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"A local Vesko service with demo data and fault injection."_s);
    parser.addHelpOption();
    const QCommandLineOption portOption(u"port"_s, u"Port on 127.0.0.1; 0 picks a free one."_s, u"N"_s,
                                        QString::number(defaultPort));
    const QCommandLineOption currencyOption(u"currency"_s, u"Currency of the whole account."_s, u"CODE"_s, u"USD"_s);
    const QCommandLineOption seedOption(u"seed"_s, u"Seed of the demo business."_s, u"N"_s, u"1"_s);
    parser.addOptions({portOption, currencyOption, seedOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail(u"unexpected argument "_s + parser.positionalArguments().constFirst());

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535)
        fail(u"--port expects a number from 0 to 65535"_s);
    const QString currency = parser.value(currencyOption).toUpper();
    if (!DemoBusiness::isCurrencyCode(currency))
        fail(u"--currency expects a three-letter code such as USD or EUR"_s);
    const quint64 seed = parser.value(seedOption).toULongLong(&ok);
    if (!ok)
        fail(u"--seed expects a whole number"_s);

    // From the environment, which other users cannot read (unlike the command line).
    const QByteArray secret = qgetenv("VESKO_DEVSERVICE_SECRET");
    if (!secret.isEmpty() && secret.size() < ControlRoutes::minimumSecretSize)
        fail(u"VESKO_DEVSERVICE_SECRET needs at least %1 characters"_s.arg(ControlRoutes::minimumSecretSize));

    DevServer server(seed, currency, secret);
    QString error;
    const quint16 listening = server.start(quint16(port), &error);
    if (listening == 0)
        fail(u"cannot listen on 127.0.0.1:"_s + QString::number(port) + u": "_s + error);

    // Scripts and tests read the port from this one line.
    std::printf("vesko-devservice listening on http://127.0.0.1:%u\n", unsigned(listening));
    std::fflush(stdout);
    return app.exec();
}
