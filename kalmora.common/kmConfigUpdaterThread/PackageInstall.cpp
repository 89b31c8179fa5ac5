#include "PackageInstall.h"

#include "FolderReplace.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/TextHelpers.h"
#include "fs/FileSystem.h"
#include "fs/TreeOps.h"
#include "kmbpShared/ExtractZipFile.h"
#include "kmbpShared/UpdateKinds.h"

#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kalmora {
namespace {

constexpr std::string_view WorkDirPrefix = "~km";

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

bool IsPlainDirectory(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A file name the server chose; "." and ".." would name the work directory or its parent.
bool IsUsableFileName(const std::string& name) {
    return !name.empty() && name != "." && name != "..";
}

// Names repeat from run to run, so a directory a killed run left must not mix its files into this package.
bool MakeEmpty(const std::string& dir) {
    const std::string path = StripTrailingBackslash(dir);
    if (IsPlainDirectory(path)) {
        std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(path.c_str()), ::closedir);
        if (d && ::readdir(d.get()) && ::readdir(d.get()) && !::readdir(d.get()))
            return true; // only "." and ".."
        DeleteDirectoryTree(path);
    }
    return ::mkdir(path.c_str(), 0700) == 0;
}

bool CopyInto(const std::string& from, const std::string& to) {
    if (from.ends_with("/*"))
        return fs::CopyTree(from.substr(0, from.size() - 2), to);
    std::string target = to;
    if (IsPlainDirectory(to))
        target = AddTrailingBackslash(to) + std::filesystem::path(from).filename().string();
    if (IsPlainDirectory(from))
        return fs::CopyTree(from, target);
    return CopyFileTo(from, target, true);
}

bool DeletePath(const std::string& from) {
    if (from.ends_with("/*")) {
        const std::string dir = from.substr(0, from.size() - 2);
        if (!IsPlainDirectory(dir))
            return false;
        bool ok = true;
        for (auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::string child = entry.path().string();
            ok = (IsPlainDirectory(child) ? DeleteDirectoryTree(child) : ::unlink(child.c_str()) == 0) && ok;
        }
        return ok;
    }
    return IsPlainDirectory(from) ? DeleteDirectoryTree(from) : ::unlink(from.c_str()) == 0;
}

} // namespace

bool FetchPackage(const TManifest& manifest, const std::string& kind, std::string& recorded,
                  const std::string& packagePath, const std::string& workDir, const TWorkEvent& onWork,
                  const std::function<bool()>& isTerminated) {
    std::string date, url;
    ReadManifestEntry(manifest, kind, date, url);
    if (date.empty() || url.empty() || date == recorded)
        return false;
    const std::string fileName = LastUrlSegment(url);
    if (!IsUsableFileName(fileName))
        return false;
    const std::string downloadFile = AddTrailingBackslash(workDir) + fileName;
    try {
        HttpGetFile(url, downloadFile, onWork);
    } catch (...) {
        RemoveFile(downloadFile);
        return false;
    }
    if (isTerminated && isTerminated()) {
        RemoveFile(downloadFile);
        return false;
    }
    try {
        CreateDirectoryPath(std::filesystem::path(packagePath).parent_path().string());
    } catch (...) {
        // The move below tells whether the folder is there.
    }
    // An old package left at packagePath must never be installed under the new date.
    if (!MoveFileOrCopy(downloadFile, packagePath, true)) {
        RemoveFile(downloadFile);
        return false;
    }
    recorded = date;
    return true;
}

bool InstallPackage(const std::string& packagePath, const std::string& kind, const std::string& password,
                    bool replace, const std::string& targetDir) {
    if (SameText(kind, "patch"))
        replace = false;
    if (!IsExistingFile(packagePath))
        return false;
    bool result = false;
    std::string extractDir;
    try {
        extractDir = CreateTempWorkDir(std::string(WorkDirPrefix), GetConfigDir());
        if (MakeEmpty(extractDir)) {
            ExtractZipFile(packagePath, extractDir, password);
            const std::string packageFolder = AddTrailingBackslash(extractDir) + kind;
            if (replace) {
                // Without the kind's folder nothing is put in place: the old folder stays as it is.
                if (IsPlainDirectory(packageFolder))
                    result = ReplaceFolder(packageFolder, StripTrailingBackslash(targetDir));
            } else if (IsExistingDirectory(targetDir)) {
                result = ShellFileOperation(packageFolder + "/*", StripTrailingBackslash(targetDir), FO_COPY,
                                            false);
            }
        }
    } catch (...) {
        result = false;
    }
    try {
        if (!extractDir.empty())
            DeleteDirectoryTree(extractDir);
    } catch (...) {
    }
    if (!replace)
        RemoveFile(packagePath);
    return result;
}

bool ShellFileOperation(const std::string& from, const std::string& to, unsigned operation, bool /*showUI*/) {
    if (from.empty() || (operation != FO_DELETE && to.empty()) || SameText(from, to))
        return false;
    const std::string source = StripTrailingBackslash(from);
    const std::string target = StripTrailingBackslash(to);
    try {
        switch (operation) {
        case FO_COPY:
            return CopyInto(source, target);
        case FO_MOVE: {
            std::string moved =
                IsPlainDirectory(target) && !source.ends_with("/*")
                    ? AddTrailingBackslash(target) + std::filesystem::path(source).filename().string()
                    : target;
            const bool renamed = !source.ends_with("/*") &&
                                 (IsPlainDirectory(source) ? fs::RenameNoReplace(source, moved) == 0
                                                           : ::rename(source.c_str(), moved.c_str()) == 0);
            if (renamed)
                return true;
            return CopyInto(source, target) && DeletePath(source);
        }
        case FO_DELETE:
            return DeletePath(source);
        case FO_RENAME:
            return fs::RenameNoReplace(source, target) == 0;
        default:
            return false;
        }
    } catch (const std::exception&) {
        return false;
    }
}

void RemoveStaleExtractionDirs(const std::string& configDir) {
    static const std::regex workDirName("~km[0-9]{5}");
    const std::string dir = StripTrailingBackslash(configDir);
    std::vector<std::string> stale;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string path = it->path().string();
        struct stat st;
        if (std::regex_match(it->path().filename().string(), workDirName) &&
            ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
            stale.push_back(path);
    }
    for (auto& path : stale)
        DeleteDirectoryTree(path);
}

} // namespace kalmora
