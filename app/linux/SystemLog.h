#pragma once

#include <QString>

namespace vesko {

// One line for the administrator: to syslog as "vesko" (the journal on
// systemd machines) at warning level, and to stderr.
void writeSystemLog(const QString &line);

} // namespace vesko
