// Put beside an installed vesko, reads the info file the way the binary does and
// prints, one per line: the file it found, its VeskoAPIURL and VeskoWebURL
// ("-" when not a string), and the built-in API and web URLs.
#include "kit/VeskoConfig.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTextStream>

using namespace Qt::StringLiterals;

using namespace vesko;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString path = VeskoConfig::infoFilePath();
    const QJsonObject info = VeskoConfig::readInfoFile(path);
    const auto text = [&](const char *key) {
        const QJsonValue value = info.value(QLatin1StringView(key));
        return value.isString() ? value.toString() : u"-"_s;
    };
    QTextStream out(stdout);
    out << path << '\n'
        << text("VeskoAPIURL") << '\n'
        << text("VeskoWebURL") << '\n'
        << VeskoConfig::defaultAPIURL().toString() << '\n'
        << VeskoConfig::defaultWebURL().toString() << '\n';
    return 0;
}
