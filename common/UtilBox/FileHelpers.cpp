#include "FileHelpers.h"

#include <cstdlib>

namespace kalmora {

std::string AddTrailingBackslash(const std::string& path) {
    if (path.empty() || path.back() == '/')
        return path;
    return path + '/';
}

std::string StripTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '/')
        return path.substr(0, path.size() - 1);
    return path;
}

std::string LastUrlSegment(const std::string& text) {
    auto slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

std::string GetTempDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = (tmp && *tmp) ? tmp : "/tmp";
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

} // namespace kalmora
