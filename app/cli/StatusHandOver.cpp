#include "app/cli/StatusHandOver.h"

#include "app/cli/StatusCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace vesko {

namespace {

// This binary's folder, whatever argv[0] says (a bar may start us by name).
std::string ownFolder()
{
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || size_t(length) >= path.size()) {
        if (length > 0)
            errno = ENAMETOOLONG;
        return {};
    }
    const std::string exe(path.data(), size_t(length));
    return exe.substr(0, exe.rfind('/'));
}

} // namespace

int handOverToStatus(char **argv)
{
    const std::string folder = ownFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "vesko: cannot tell where this program lives (/proc/self/exe): %s\n",
                     std::strerror(errno));
        return statusFailed;
    }
    std::string tried;
    for (const char *relative : {"vesko-status", VESKO_STATUS_FROM_APP}) {
        const std::string candidate = folder + '/' + relative;
        execv(candidate.c_str(), argv);
        // Only a missing program sends us on to the next place.
        if (errno != ENOENT) {
            std::fprintf(stderr, "vesko: cannot run %s: %s\n", candidate.c_str(), std::strerror(errno));
            return statusFailed;
        }
        tried += "\n  " + candidate;
    }
    std::fprintf(stderr, "vesko: the status program is missing; looked for:%s\n", tried.c_str());
    return statusFailed;
}

} // namespace vesko
