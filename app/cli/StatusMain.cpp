// vesko-status: `vesko status …`, which `vesko` hands over to with its argv.
// Qt Core, Network and D-Bus only: a status bar starts it every few seconds,
// so it loads no GUI library and starts in a fraction of vesko's memory.
#include "app/cli/StatusCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// The `vesko` this program came with: beside it in the build tree, or where
// the install puts it relative to this program.
QString applicationBinary()
{
    const QDir folder(QCoreApplication::applicationDirPath());
    QString beside = folder.filePath(u"vesko"_s);
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QDir::cleanPath(folder.filePath(QStringLiteral(VESKO_APP_FROM_STATUS)));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"vesko"_s);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    // As `vesko` hands it over: "status" first.
    if (arguments.value(0) == u"status")
        arguments.removeFirst();
    return vesko::runStatus(arguments, applicationBinary());
}
