#include "app/linux/SystemLog.h"

#include <QDebug>

#include <syslog.h>

namespace vesko {

void writeSystemLog(const QString &line)
{
    const QByteArray text = line.toUtf8();
    openlog("vesko", LOG_PID, LOG_USER);
    // Through "%s": the line may hold service or desktop text with a '%' in it.
    syslog(LOG_USER | LOG_WARNING, "%s", text.constData());
    qWarning().noquote() << line;
}

} // namespace vesko
