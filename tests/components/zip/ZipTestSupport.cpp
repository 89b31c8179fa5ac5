#include "ZipTestSupport.h"

#include "runtime/Exceptions.h"

#include <filesystem>

namespace kalmora::test {

std::string FailureNames(const std::vector<TItemFailure>& failures) {
    std::string s;
    for (const auto& f : failures)
        s += f.name + " (" + f.className + ": " + f.message + ") ";
    return s;
}

TTestEntry RawEntry(const std::string& name, const std::string& data, uint16_t method,
                    const std::string& compressed, std::optional<uint64_t> declaredSize) {
    TTestEntry e;
    e.name = name;
    e.data = data;
    e.method = method;
    e.compressed = compressed;
    e.uncompressedSize = declaredSize;
    return e;
}

std::vector<TItemFailure> ZipExtractFixture::Extract(const std::string& archive,
                                                     const std::string& password) {
    WriteFileBytes(ArchivePath(), archive);
    TZipArchive zip;
    zip.Password = password;
    return ExtractFile(ArchivePath(), zip);
}

std::vector<TItemFailure> ZipExtractFixture::ExtractFile(const std::string& path, TZipArchive& zip) {
    std::filesystem::create_directories(Out());
    std::vector<TItemFailure> failures;
    zip.BaseDirectory = Out();
    zip.OnProcessItemFailure = [&](const TZipItem& item, const std::exception& e) {
        failures.push_back({item.fileName, std::string(ExceptionClassName(e)), e.what()});
    };
    zip.Open(path);
    zip.ExtractFiles("*.*");
    zip.Close();
    return failures;
}

} // namespace kalmora::test
