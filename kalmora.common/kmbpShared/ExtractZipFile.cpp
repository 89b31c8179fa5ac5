#include "ExtractZipFile.h"

#include "zip/ZipArchive.h"

#include <filesystem>
#include <system_error>

namespace kalmora {

void ExtractZipFile(const std::string& archiveFile, const std::string& targetDir,
                    const std::string& password) {
    // A folder that cannot be made is not reported here: opening the archive then names it.
    std::error_code ignored;
    std::filesystem::create_directories(targetDir, ignored);

    TZipArchive zip;
    std::string base = targetDir;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    zip.BaseDirectory = base;
    if (!password.empty())
        zip.Password = password;
    zip.PasswordRetries = 3;
    zip.Open(archiveFile);
    zip.ExtractOptions = TExtractOption::eoCreateDirs | TExtractOption::eoRestorePath;
    zip.ExtractFiles("*.*");
    zip.Close();
}

} // namespace kalmora
