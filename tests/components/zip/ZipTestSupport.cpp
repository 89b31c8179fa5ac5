#include "ZipTestSupport.h"

#include "runtime/Exceptions.h"

#include <filesystem>

namespace kalmora::test {

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
