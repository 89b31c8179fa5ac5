// kalmora-unzip ARCHIVE TARGETDIR [PASSWORD]: one call of ExtractZipFile, for scripts and for comparing the
// reader with other tools. Exit 0 on a normal return, 1 with "ERRORCLASS: message" when it raised, 2 on
// usage errors.

#include "kmbpShared/ExtractZipFile.h"
#include "runtime/Exceptions.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: kalmora-unzip ARCHIVE TARGETDIR [PASSWORD]\n");
        return 2;
    }
    try {
        kalmora::ExtractZipFile(argv[1], argv[2], argc == 4 ? argv[3] : "");
    } catch (...) {
        auto error = kalmora::DescribeException(std::current_exception());
        std::fprintf(stderr, "%s: %s\n", error.className.c_str(), error.message.c_str());
        return 1;
    }
    return 0;
}
