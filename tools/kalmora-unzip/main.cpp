// kalmora-unzip ARCHIVE TARGETDIR [PASSWORD]: one call of ExtractZipFile, for scripts and for comparing the
// reader with other tools. Silent on success; one stderr line per failure, naming the archive and, for an
// entry that failed, the entry.

#include "kmbpShared/ExtractZipFile.h"
#include "runtime/Exceptions.h"

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

enum class TExitStatus : int {
    Ok = 0,
    Failed = 1, // the archive could not be extracted, or some of its entries could not
    Usage = 2,
};

constexpr std::string_view UsageText =
    "usage: kalmora-unzip [--] ARCHIVE TARGETDIR [PASSWORD]\n"
    "Extracts every entry of ARCHIVE below TARGETDIR (created when missing), restoring its folders;\n"
    "PASSWORD opens entries with traditional PKWARE encryption. Entries that fail are reported one per\n"
    "line and the others are extracted.\n"
    "Exit status: 0 all entries extracted, 1 the archive or an entry failed, 2 usage error.\n";

int Exit(TExitStatus status) {
    return static_cast<int>(status);
}

int Usage(const std::string& fault) {
    std::fprintf(stderr, "kalmora-unzip: %s\n%.*s", fault.c_str(), static_cast<int>(UsageText.size()),
                 UsageText.data());
    return Exit(TExitStatus::Usage);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> operands;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            std::fwrite(UsageText.data(), 1, UsageText.size(), stdout);
            return Exit(TExitStatus::Ok);
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option " + std::string(arg));
        } else {
            operands.emplace_back(arg);
        }
    }
    if (operands.size() < 2 || operands.size() > 3)
        return Usage("ARCHIVE and TARGETDIR expected");
    const std::string& archive = operands[0];
    try {
        auto failures =
            kalmora::ExtractZipFile(archive, operands[1], operands.size() == 3 ? operands[2] : "");
        for (const auto& failure : failures)
            std::fprintf(stderr, "kalmora-unzip: %s: %s: %s\n", archive.c_str(), failure.Entry.c_str(),
                         failure.Reason.c_str());
        return Exit(failures.empty() ? TExitStatus::Ok : TExitStatus::Failed);
    } catch (...) {
        auto error = kalmora::DescribeException(std::current_exception());
        std::fprintf(stderr, "kalmora-unzip: %s: %s: %s\n", archive.c_str(), error.className.c_str(),
                     error.message.c_str());
        return Exit(TExitStatus::Failed);
    }
}
