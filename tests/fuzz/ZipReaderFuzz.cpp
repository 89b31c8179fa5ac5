// libFuzzer target: any byte string as an archive, opened from memory and extracted into a scratch folder.
// Errors are expected; crashes, leaks, hangs and sanitizer reports are not.

#include "runtime/Exceptions.h"
#include "support/TestFolder.h"
#include "zip/ZipArchive.h"
#include "zip/ZipErrors.h"
#include "zip/ZipSource.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Entries may share their data, so an input of a few kilobytes could declare gigabytes in total; the
// reader writes what is declared, and the fuzzer would only measure the disk.
constexpr uint64_t MaxDeclaredTotal = 64u << 20;

// One folder for the whole run, emptied after each input and removed at exit.
const std::string& ScratchFolder() {
    static const kalmora::test::TTestFolder folder;
    return folder.Path();
}

void EmptyFolder(const std::string& folder) {
    std::error_code ec;
    for (auto& entry : std::filesystem::directory_iterator(folder, ec))
        kalmora::test::RemoveAll(entry.path());
}

// The reader's own errors are the expected outcome of bad input; anything else (std::bad_alloc from a size
// taken on trust, std::out_of_range) escapes, and libFuzzer reports it as a finding.
[[noreturn]] void ForeignError(const std::exception& e) {
    std::fprintf(stderr, "not a reader error: %s: %s\n", std::string(kalmora::ExceptionClassName(e)).c_str(),
                 e.what());
    std::abort();
}

bool IsReaderError(const std::exception& e) {
    return dynamic_cast<const kalmora::EAbException*>(&e) || dynamic_cast<const kalmora::EInOutError*>(&e);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = ScratchFolder();
    try {
        kalmora::TZipArchive zip;
        zip.BaseDirectory = folder;
        zip.Password = "geheim";
        int asked = 0;
        zip.OnNeedPassword = [&](const kalmora::TZipItem&, std::string& password) {
            password = ++asked % 2 ? "falsch" : "geheim";
        };
        zip.OnProcessItemFailure = [](const kalmora::TZipItem&, const std::exception& e) {
            if (!IsReaderError(e))
                ForeignError(e);
        };
        zip.OpenSource(std::make_unique<kalmora::TZipMemorySource>(std::span(data, size)));
        uint64_t declared = 0;
        for (const auto& item : zip.Items())
            declared += item.header.uncompressedSize;
        if (declared <= MaxDeclaredTotal)
            zip.ExtractFiles("*.*");
        zip.Close();
    } catch (const std::exception& e) {
        if (!IsReaderError(e))
            ForeignError(e);
    }
    EmptyFolder(folder);
    return 0;
}
