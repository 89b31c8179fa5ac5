// kalmora-script FILE [--param NAME=VALUE]... [--sample-objects]: runs one script with the product script
// engine and the whole vocabulary, for trying scripts out and for checking them in tests and benchmarks.
// Without a display the dialog functions print to stdout and answer at once.

#include "UtilBox/FileHelpers.h"
#include "interpreter/InterpreterAdapter.h"
#include "kmScriptEngine/KalmoraScriptEngine.h"
#include "kmScriptEngine/ProductFunctions.h"
#include "kmScriptEngine/SampleObjects.h"
#include "lmScriptEngine/CommonFunctions.h"
#include "runtime/Exceptions.h"

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kalmora;

enum class TExitStatus : int {
    Ok = 0,
    Failed = 1, // the script could not be read or compiled, or its run ended with an error
    Usage = 2,
};

constexpr std::string_view UsageText =
    "usage: kalmora-script [--] FILE [--param NAME=VALUE]... [--sample-objects]\n"
    "Runs the script FILE with the product script engine and its whole vocabulary.\n"
    "  --param NAME=VALUE  a parameter the script reads by NAME, as text (the later of two equal names "
    "wins)\n"
    "  --sample-objects    gives the script sample objects for invoice, payment, report and fiscalization\n"
    "Without a display, dialog functions print their message to stdout.\n"
    "Exit status: 0 the script ended normally, 1 it ended with an error (ERRORCLASS: message on stderr),\n"
    "2 usage error.\n";

int Exit(TExitStatus status) {
    return static_cast<int>(status);
}

int Usage(const std::string& fault) {
    std::fprintf(stderr, "kalmora-script: %s\n%.*s", fault.c_str(), static_cast<int>(UsageText.size()),
                 UsageText.data());
    return Exit(TExitStatus::Usage);
}

struct TOptions {
    std::string File;
    TScriptParamArray Params;
    bool SampleObjects = false;
};

bool HasEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

void GiveSampleObjects(TKalmoraScriptEngine& engine) {
    engine.InvoiceWrapper = std::make_unique<TIRechnungWrapper>(NewSampleInvoice());
    engine.PaymentWrapper = std::make_unique<TIZahlungseingangWrapper>(NewSamplePayment());
    engine.ReportWrapper = std::make_unique<TIStandardReportsWrapper>(NewSampleReport(std::cout));
    engine.FiscalizationWrapper = std::make_unique<TIFiscalizationWrapper>(NewSampleFiscalization());
}

int RunScript(const TOptions& options) {
    try {
        RegisterCommonFunctions(GlobalRegistry());
        RegisterUtilFunctions(GlobalRegistry());
        RegisterProductFunctions(GlobalRegistry());
        {
            TKalmoraScriptEngine engine;
            engine.Params = options.Params;
            if (options.SampleObjects)
                GiveSampleObjects(engine);
            engine.SetSource(FileToStr(options.File));
            engine.Run();
        }
        FinalizeInterpreter();
        std::cout.flush();
        return Exit(TExitStatus::Ok);
    } catch (...) {
        std::cout.flush();
        std::fflush(stdout);
        auto error = DescribeException(std::current_exception());
        std::fprintf(stderr, "%s: %s\n", error.className.c_str(), error.message.c_str());
        FinalizeInterpreter();
        return Exit(TExitStatus::Failed);
    }
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    std::vector<std::string> operands;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (!optionsEnd && arg == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && (arg == "--help" || arg == "-h")) {
            std::fwrite(UsageText.data(), 1, UsageText.size(), stdout);
            return Exit(TExitStatus::Ok);
        } else if (!optionsEnd && arg == "--sample-objects") {
            options.SampleObjects = true;
        } else if (!optionsEnd && (arg == "--param" || arg.starts_with("--param="))) {
            std::string_view spec;
            if (arg == "--param") {
                if (i + 1 >= argc)
                    return Usage("--param needs NAME=VALUE");
                spec = argv[++i];
            } else {
                spec = arg.substr(std::string_view("--param=").size());
            }
            const auto equals = spec.find('=');
            if (equals == std::string_view::npos || equals == 0)
                return Usage("--param needs NAME=VALUE, not '" + std::string(spec) + "'");
            options.Params.push_back({std::string(spec.substr(0, equals)), Variant(spec.substr(equals + 1))});
        } else if (!optionsEnd && arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option " + std::string(arg));
        } else {
            operands.emplace_back(arg);
        }
    }
    if (operands.size() != 1)
        return Usage(operands.empty() ? "FILE expected" : "only one FILE expected");
    options.File = operands[0];

    // Dialogs need an application object and a screen; without a display they print instead.
    std::unique_ptr<QApplication> application;
    if (HasEnv("DISPLAY") || HasEnv("WAYLAND_DISPLAY"))
        application = std::make_unique<QApplication>(argc, argv);
    // The toolkit adopts the whole user locale; number texts stay in the scripts' own format settings.
    std::setlocale(LC_NUMERIC, "C");
    return RunScript(options);
}
