// kalmora-script FILE [--param NAME=VALUE]... [--sample-objects]: runs one script with the product script
// engine and the whole vocabulary. Silent apart from what the script prints; one stderr line
// "ERRORCLASS: message" when the run fails.

#include "UtilBox/ui/ApplicationEvents.h"
#include "kmScriptEngine/KalmoraScriptEngine.h"
#include "kmScriptEngine/SampleObjects.h"
#include "runtime/Exceptions.h"
#include "startup/UnitList.h"

#include <QApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace kalmora;

enum class TExitStatus : int {
    Ok = 0,
    Failed = 1, // the script could not be read or its run ended with an error
    Usage = 2,
};

constexpr std::string_view UsageText =
    "usage: kalmora-script FILE [--param NAME=VALUE]... [--sample-objects]\n"
    "Runs the script FILE with the product script engine and its whole vocabulary.\n"
    "  --param NAME=VALUE  a parameter the script reads as NAME, as text; the later of two equal names wins\n"
    "  --sample-objects    gives the script fixed sample objects for invoice, payment, report and\n"
    "                      fiscalization\n"
    "Without a display, the dialog functions print their message to standard output.\n"
    "Exit status: 0 the script ended normally, 1 it ended with an error, 2 usage error.\n";

struct TOptions {
    std::string File;
    TScriptParamArray Params;
    bool SampleObjects = false;
};

int Exit(TExitStatus status) {
    return static_cast<int>(status);
}

int Usage(const std::string& fault) {
    std::fprintf(stderr, "kalmora-script: %s\n%.*s", fault.c_str(), static_cast<int>(UsageText.size()),
                 UsageText.data());
    return Exit(TExitStatus::Usage);
}

// An identifier as the script language spells one; anything else could never be read by a script.
bool IsIdentifier(std::string_view name) {
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (name.empty() || !letter(name.front()))
        return false;
    for (char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9'))
            return false;
    return true;
}

// The options, or the usage fault in `fault`.
std::optional<TOptions> ParseArguments(int argc, char** argv, std::string& fault) {
    TOptions options;
    bool dashes = false;
    bool haveFile = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view value;
        bool paramOption = false;
        if (!dashes && arg == "--") {
            dashes = true;
            continue;
        }
        if (!dashes && arg == "--sample-objects") {
            options.SampleObjects = true;
            continue;
        }
        if (!dashes && arg == "--param") {
            if (i + 1 >= argc) {
                fault = "--param needs NAME=VALUE";
                return std::nullopt;
            }
            value = argv[++i];
            paramOption = true;
        } else if (!dashes && arg.starts_with("--param=")) {
            value = arg.substr(8);
            paramOption = true;
        }
        if (paramOption) {
            const auto equals = value.find('=');
            if (equals == std::string_view::npos || !IsIdentifier(value.substr(0, equals))) {
                fault = "--param needs NAME=VALUE with NAME an identifier: " + std::string(value);
                return std::nullopt;
            }
            options.Params.push_back(
                {std::string(value.substr(0, equals)), Variant(value.substr(equals + 1))});
            continue;
        }
        if (!dashes && arg.size() > 1 && arg.front() == '-') {
            fault = "unknown option " + std::string(arg);
            return std::nullopt;
        }
        if (haveFile) {
            fault = "only one FILE expected, got also " + std::string(arg);
            return std::nullopt;
        }
        options.File = arg;
        haveFile = true;
    }
    if (!haveFile) {
        fault = "FILE expected";
        return std::nullopt;
    }
    return options;
}

// The script's text; at most limit + 1 bytes, so the interpreter's own size check reports an oversized one.
std::string ReadScript(const std::string& path, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EInOutError::FromErrno("cannot open", path, errno);
    struct Closer {
        int Fd;
        ~Closer() { ::close(Fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode))
        throw EInOutError::FromErrno("cannot read", path, EISDIR);
    std::string text;
    char buffer[65536];
    while (text.size() <= limit) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError::FromErrno("cannot read", path, errno);
        }
        if (got == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    if (text.size() > limit + 1)
        text.resize(limit + 1);
    return text;
}

// Dialogs open as boxes only where a screen exists; otherwise no application object is made and they print.
std::unique_ptr<QApplication> DialogApplication(int& argc, char** argv) {
    if (!ChooseWindowPlatform())
        return nullptr;
    InstallQtMessageHandler();
    return std::make_unique<QApplication>(argc, argv);
}

void GiveSampleObjects(TKalmoraScriptEngine& engine) {
    engine.InvoiceWrapper = std::make_unique<TIRechnungWrapper>(NewSampleInvoice());
    engine.PaymentWrapper = std::make_unique<TIZahlungseingangWrapper>(NewSamplePayment());
    engine.ReportWrapper = std::make_unique<TIStandardReportsWrapper>(NewSampleReport(std::cout));
    engine.FiscalizationWrapper = std::make_unique<TIFiscalizationWrapper>(NewSampleFiscalization());
}

int RunScript(const TOptions& options) {
    TUnitSession units;
    TKalmoraScriptEngine engine;
    engine.Params = options.Params;
    if (options.SampleObjects)
        GiveSampleObjects(engine);
    try {
        engine.SetSource(ReadScript(options.File, engine.Limits.MaxSourceBytes));
        engine.Run();
    } catch (const std::exception& error) {
        std::cout.flush();
        std::string message = error.what();
        // One line per failure, whatever the message carries.
        for (char& c : message)
            if (c == '\n' || c == '\r')
                c = ' ';
        std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(ExceptionClassName(error).size()),
                     ExceptionClassName(error).data(), message.c_str());
        return Exit(TExitStatus::Failed);
    } catch (...) {
        std::cout.flush();
        std::fputs("Exception: unknown error\n", stderr);
        return Exit(TExitStatus::Failed);
    }
    std::cout.flush();
    return Exit(TExitStatus::Ok);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--")
            break;
        if (arg == "--param") {
            ++i; // its value is a parameter, whatever it looks like
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            std::fwrite(UsageText.data(), 1, UsageText.size(), stdout);
            return Exit(TExitStatus::Ok);
        }
    }
    std::string fault;
    const auto options = ParseArguments(argc, argv, fault);
    if (!options)
        return Usage(fault);
    const auto application = DialogApplication(argc, argv);
    return RunScript(*options);
}
