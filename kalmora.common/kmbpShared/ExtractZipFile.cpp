#include "ExtractZipFile.h"

#include "UtilBox/FileHelpers.h"
#include "zip/ZipArchive.h"

namespace kalmora {

void ExtractZipFile(const std::string& archiveFile, const std::string& targetDir, const std::string& password) {
    // A folder that cannot be made is not reported here: opening the archive then names it.
    try {
        CreateDirectoryPath(targetDir);
    } catch (const Exception&) {
    }

    TZipArchive zip;
    zip.BaseDirectory = StripTrailingBackslash(targetDir);
    if (!password.empty())
        zip.Password = password;
    zip.PasswordRetries = 3;
    zip.Open(archiveFile);
    zip.ExtractOptions = TExtractOption::eoCreateDirs | TExtractOption::eoRestorePath;
    zip.ExtractFiles("*.*");
    zip.Close();
}

} // namespace kalmora
