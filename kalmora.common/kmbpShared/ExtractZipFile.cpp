#include "ExtractZipFile.h"

#include "UtilBox/FileHelpers.h"
#include "zip/ZipArchive.h"

namespace kalmora {

std::vector<TZipEntryFailure> ExtractZipFile(const std::string& archiveFile, const std::string& targetDir,
                                             const std::string& password) {
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
    std::vector<TZipEntryFailure> failures;
    zip.OnProcessItemFailure = [&failures](const TZipItem& item, const std::exception& error) {
        const auto* known = dynamic_cast<const Exception*>(&error);
        failures.push_back({item.fileName, known ? std::string(known->ClassName()) + ": " + known->Message()
                                                 : error.what()});
    };
    zip.Open(archiveFile);
    zip.ExtractOptions = TExtractOption::eoCreateDirs | TExtractOption::eoRestorePath;
    zip.ExtractFiles("*.*");
    zip.Close();
    return failures;
}

} // namespace kalmora
