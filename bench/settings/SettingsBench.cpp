// How long the settings store and the tree copy take on this machine. Built with the rest, run by hand:
// build/bin/SettingsBench [folder]   (the folder defaults to $TMPDIR or /tmp)

#include "UtilBox/FileHelpers.h"
#include "UtilBox/Registry.h"
#include "fs/TreeOps.h"
#include "registry/RegFileFormat.h"
#include "registry/RegKey.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

using namespace kalmora;
using Clock = std::chrono::steady_clock;

namespace {

void Measure(const char* what, int repetitions, const std::function<void(int)>& body) {
    const auto start = Clock::now();
    for (int i = 0; i < repetitions; ++i)
        body(i);
    const double micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    std::printf("%-48s %8d x %12.1f us\n", what, repetitions, micros / repetitions);
}

} // namespace

int main(int argc, char** argv) {
    const std::string base = CreateTempWorkDir("~kmbench", argc > 1 ? argv[1] : "");
    ::setenv("KALMORA_HKLM_FILE", (base + "HKLM.reg").c_str(), 1);
    ::setenv("KALMORA_HKCU_FILE", (base + "HKCU.reg").c_str(), 1);
    SetStandardRegistryRoot("Software\\Kalmora");

    registry::TRegNode big;
    for (int i = 0; i < 1000; ++i)
        big.Create("Software\\Kalmora\\K" + std::to_string(i % 20))
            .SetValue("Value" + std::to_string(i), registry::REG_SZ,
                      registry::StringData(std::string(40, 'v')));
    const std::string text = registry::FormatRegFile(big, registry::HiveId::LocalMachine);
    Measure("format a hive of 1000 values", 200,
            [&](int) { (void)registry::FormatRegFile(big, registry::HiveId::LocalMachine); });
    Measure("parse a hive of 1000 values", 200, [&](int) {
        registry::TRegFileContent content;
        std::string error;
        registry::ParseRegFile(text, content, error);
    });

    std::ofstream(base + "HKLM.reg") << text;
    Measure("ReadRegistryString (1000-value hive)", 500, [&](int i) {
        (void)ReadRegistryString("K" + std::to_string(i % 20) + "\\Value" + std::to_string(i));
    });
    Measure("WriteRegistryString (1000-value hive, synced)", 50,
            [&](int i) { WriteRegistryString("Bench" + std::to_string(i), "x"); });

    const std::string source = base + "src/";
    for (int d = 0; d < 10; ++d) {
        CreateDirectoryPath(source + "d" + std::to_string(d));
        for (int f = 0; f < 100; ++f)
            std::ofstream(source + "d" + std::to_string(d) + "/f" + std::to_string(f))
                << std::string(4096, 'x');
    }
    Measure("CopyTree of 1000 files of 4 KiB (synced)", 3,
            [&](int i) { fs::CopyTree(source, base + "dst" + std::to_string(i)); });
    Measure("DeleteDirectoryTree of 1000 files", 3,
            [&](int i) { DeleteDirectoryTree(base + "dst" + std::to_string(i)); });
    DeleteDirectoryTree(base);
    return 0;
}
