#pragma once

namespace vesko {

// `vesko status …` runs in vesko-status, a program that links no GUI library
// (a status bar starts it every few seconds): replaces this process with it,
// `argv` as it came, so its exit code and output are the command's own. It is
// looked for beside this binary (the build tree), then where the install puts
// it. Returns only when it cannot be run, after saying why on stderr, with
// statusFailed.
int handOverToStatus(char **argv);

} // namespace vesko
