#include "ZipPaths.h"

#include "ZipErrors.h"

namespace kalmora {

std::vector<std::string> SafeRelativeSegments(const std::string& name) {
    std::string path = name;
    if (!path.empty() && path.back() == '/')
        path.pop_back();
    if (path.empty() || path.front() == '/' || path.find(':') != std::string::npos ||
        path.find("//") != std::string::npos || path.find('\0') != std::string::npos)
        throw EAbZipUnsafeName(name);
    std::vector<std::string> segments;
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = path.find('/', begin);
        if (end == std::string::npos)
            end = path.size();
        std::string segment = path.substr(begin, end - begin);
        if (segment == "..")
            throw EAbZipUnsafeName(name);
        if (segment != ".")
            segments.push_back(std::move(segment));
        begin = end + 1;
    }
    if (segments.empty())
        throw EAbZipUnsafeName(name);
    return segments;
}

} // namespace kalmora
