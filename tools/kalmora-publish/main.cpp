// kalmora-publish: the publisher's side of the configuration server. `manifest` checks the packages of a
// server folder and writes its configinfo.xml; `verify` checks a server or folder the way a client in signed
// mode does. Exit 0 when all holds, 1 with one stderr line per fault, 2 on usage errors.

#include "PublishManifest.h"
#include "PublishVerify.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/TextHelpers.h"
#include "kmConfigUpdaterThread/ManifestTrust.h"
#include "runtime/Exceptions.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kalmora;
using namespace kalmora::publish;

enum class TExitStatus : int {
    Ok = 0,
    Failed = 1,
    Usage = 2,
};

constexpr std::string_view UsageText =
    "usage: kalmora-publish manifest DIR --date KIND=DATE... [--password-file FILE]\n"
    "       kalmora-publish verify URL|DIR [--key PUBKEY]... [--password-file FILE]\n"
    "manifest checks DIR/dev.zip, DIR/partner.zip and DIR/patch.zip (the patch's entries with the password\n"
    "in FILE) and writes DIR/configinfo.xml with each package's date, url, sha256 and size. KIND is dev,\n"
    "partner or patch; every package in DIR needs its date. Sign it with `minisign -Sm DIR/configinfo.xml`.\n"
    "verify checks a server's base URL or a folder as an updater in signed mode does: the signature by one\n"
    "of the keys (a .pub file or its key line; default the setting UpdateSigningKeys), then each package's\n"
    "sha256, size and content.\n"
    "Exit status: 0 all holds, 1 a fault (one line each), 2 usage error.\n";

int Exit(TExitStatus status) {
    return static_cast<int>(status);
}

int Usage(const std::string& fault) {
    std::fprintf(stderr, "kalmora-publish: %s\n%.*s", fault.c_str(), static_cast<int>(UsageText.size()),
                 UsageText.data());
    return Exit(TExitStatus::Usage);
}

int Faults(const std::vector<std::string>& faults) {
    for (const auto& fault : faults)
        std::fprintf(stderr, "kalmora-publish: %s\n", fault.c_str());
    return Exit(faults.empty() ? TExitStatus::Ok : TExitStatus::Failed);
}

// The password as the updater takes it from its password file: without the blanks and line breaks around it.
std::optional<std::string> ReadPassword(const std::string& file, std::vector<std::string>& faults) {
    try {
        return Trim(FileToStr(file));
    } catch (const std::exception& e) {
        faults.push_back(file + ": " + e.what());
        return std::nullopt;
    }
}

struct TArguments {
    std::vector<std::string> operands;
    std::vector<TKindDate> dates;
    std::optional<std::string> passwordFile;
    std::vector<std::string> keys;
};

// Empty on success, else the usage fault.
std::string Parse(int argc, char** argv, TArguments& args) {
    bool options = true;
    for (int i = 2; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--date") {
            std::string text;
            if (!value(text))
                return "--date needs KIND=DATE";
            auto equals = text.find('=');
            TKindDate date{text.substr(0, equals),
                           equals == std::string::npos ? "" : text.substr(equals + 1)};
            if (equals == std::string::npos ||
                (date.Kind != "dev" && date.Kind != "partner" && date.Kind != "patch"))
                return "--date " + text + ": KIND is dev, partner or patch";
            if (std::string problem = DateTextProblem(date.Date); !problem.empty())
                return "--date " + text + ": the date " + problem;
            for (const auto& other : args.dates)
                if (other.Kind == date.Kind)
                    return "--date " + date.Kind + " given twice";
            args.dates.push_back(date);
        } else if (options && arg == "--key") {
            if (!value(args.keys.emplace_back()))
                return "--key needs PUBKEY";
        } else if (options && arg == "--password-file") {
            std::string file;
            if (!value(file))
                return "--password-file needs FILE";
            args.passwordFile = file;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + std::string(arg);
        } else {
            args.operands.emplace_back(arg);
        }
    }
    return {};
}

int Manifest(const TArguments& args) {
    if (args.operands.size() != 1)
        return Usage("manifest: one DIR expected");
    if (args.dates.empty())
        return Usage("manifest: at least one --date KIND=DATE expected");
    std::vector<std::string> faults;
    std::optional<std::string> password;
    if (args.passwordFile && !(password = ReadPassword(*args.passwordFile, faults)))
        return Faults(faults);
    return Faults(PublishManifest(args.operands[0], args.dates, password));
}

int Verify(const TArguments& args) {
    if (args.operands.size() != 1)
        return Usage("verify: one URL or DIR expected");
    if (!args.dates.empty())
        return Usage("verify: --date belongs to manifest");
    std::vector<std::string> faults;
    std::optional<std::string> password;
    if (args.passwordFile && !(password = ReadPassword(*args.passwordFile, faults)))
        return Faults(faults);
    std::vector<TMinisignKey> keys;
    for (const auto& key : args.keys) {
        try {
            keys.push_back(ReadPublicKey(key));
        } catch (const std::exception& e) {
            faults.push_back("--key " + key + ": " + e.what());
        }
    }
    if (args.keys.empty()) {
        std::string problem;
        keys = ReadManifestTrust(problem).Keys;
        if (!problem.empty())
            faults.push_back(problem);
        else if (keys.empty())
            faults.push_back("no key: give --key PUBKEY or set " + std::string(SigningKeysValue));
    }
    if (!faults.empty())
        return Faults(faults);
    TVerifyReport report = VerifyPublication(args.operands[0], keys, password);
    for (const auto& line : report.Lines)
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return Faults(report.Faults);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::fwrite(UsageText.data(), 1, UsageText.size(), stdout);
        return Exit(TExitStatus::Ok);
    }
    if (argc < 2)
        return Usage("a command is expected: manifest or verify");
    const std::string_view command = argv[1];
    TArguments args;
    if (std::string fault = Parse(argc, argv, args); !fault.empty())
        return Usage(fault);
    if (command == "manifest" && !args.keys.empty())
        return Usage("manifest: --key belongs to verify");
    try {
        if (command == "manifest")
            return Manifest(args);
        if (command == "verify")
            return Verify(args);
        return Usage("unknown command " + std::string(command));
    } catch (...) {
        auto error = DescribeException(std::current_exception());
        std::fprintf(stderr, "kalmora-publish: %s: %s\n", error.className.c_str(), error.message.c_str());
        return Exit(TExitStatus::Failed);
    }
}
