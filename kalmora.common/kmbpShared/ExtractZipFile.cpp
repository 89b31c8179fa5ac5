#include "ExtractZipFile.h"

#include "UtilBox/FileHelpers.h"
#include "fs/FileSystem.h"
#include "zip/ZipArchive.h"
#include "zip/ZipPaths.h"

#include <unistd.h>

namespace kalmora {

namespace {

// The outermost folder of path that does not exist yet; empty when path exists.
std::string FirstMissingFolder(const std::string& path) {
    std::string missing;
    for (std::string p = path; p != "." && p != "/" && !IsExistingDirectory(p); p = fs::ParentDirectory(p))
        missing = p;
    return missing;
}

// Takes back the folders made for a target that receives nothing, deepest first; only empty ones go.
void RemoveMadeFolders(const std::string& path, const std::string& firstMissing) {
    if (firstMissing.empty())
        return;
    for (std::string p = path; !p.empty(); p = fs::ParentDirectory(p))
        if (::rmdir(p.c_str()) != 0 || p == firstMissing)
            return;
}

void AddOwnMode(const TZipItem& item, std::set<std::string>& ownModes) {
    try {
        std::string path;
        for (const auto& segment : SafeRelativeSegments(item.fileName))
            path += (path.empty() ? "" : "/") + segment;
        ownModes.insert(path);
    } catch (const std::exception&) {
        // An unsafe name was never extracted and has failed already.
    }
}

} // namespace

std::vector<TZipEntryFailure> ExtractZipFile(const std::string& archiveFile, const std::string& targetDir,
                                             const std::string& password, std::set<std::string>* ownModes) {
    // The root keeps its only separator, as a drive keeps "C:\".
    std::string base = StripTrailingBackslash(targetDir);
    if (base.empty() && !targetDir.empty())
        base = targetDir;
    std::string firstMissing = FirstMissingFolder(base);
    // A folder that cannot be made is not reported here: opening the archive then names it.
    try {
        CreateDirectoryPath(targetDir);
    } catch (const Exception&) {
        // An empty target: opening refuses it as a missing directory.
    }

    TZipArchive zip;
    zip.BaseDirectory = base;
    if (!password.empty())
        zip.Password = password;
    zip.PasswordRetries = 3;
    std::vector<TZipEntryFailure> failures;
    zip.OnProcessItemFailure = [&failures](const TZipItem& item, const std::exception& error) {
        failures.push_back({item.fileName, std::string(ExceptionClassName(error)) + ": " + error.what()});
    };
    try {
        zip.Open(archiveFile);
    } catch (...) {
        RemoveMadeFolders(base, firstMissing);
        throw;
    }
    zip.ExtractOptions = TExtractOption::eoCreateDirs | TExtractOption::eoRestorePath;
    zip.ExtractFiles("*.*");
    if (ownModes)
        for (const TZipItem& item : zip.Items())
            if (item.HasUnixMode())
                AddOwnMode(item, *ownModes);
    zip.Close();
    return failures;
}

} // namespace kalmora
