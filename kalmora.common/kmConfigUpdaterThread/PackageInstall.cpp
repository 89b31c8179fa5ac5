#include "PackageInstall.h"

#include "FolderReplace.h"
#include "PackageCheck.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/TextHelpers.h"
#include "fs/FileSystem.h"
#include "fs/Folders.h"
#include "fs/TreeInstall.h"
#include "kmbpShared/ExtractZipFile.h"
#include "kmbpShared/UpdateKinds.h"
#include "lmDebug/lmDebug.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kalmora {
namespace {

// More failed entries than this are summed up in one line: a wrong password fails every entry alike.
constexpr std::size_t EntryFailuresNamed = 10;

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

// A download that failed gives its room back at once, so the next kind has it on a small disk.
void DiscardDownload(const std::string& downloadFile) {
    RemoveFile(downloadFile);
    RemoveFile(downloadFile + ".part");
}

// Moves the finished download to packagePath (a copy when the two lie on different file systems); 0 or the
// errno value of the step that failed.
int PlacePackage(const std::string& downloadFile, const std::string& packagePath) {
    if (int err = fs::CreateFolders(fs::ParentDirectory(packagePath), 0777, 0777))
        return err;
    if (::rename(downloadFile.c_str(), packagePath.c_str()) == 0)
        return 0;
    const int err = errno;
    return err == EXDEV ? fs::CopyFileAtomically(downloadFile, packagePath, true) : err;
}

// A file name the server chose; "." and ".." would name the work directory or its parent.
bool IsUsableFileName(const std::string& name) {
    return !name.empty() && name != "." && name != "..";
}

// Names repeat from run to run, so a directory a killed run left must not mix its files into this package.
// 0 or the errno value.
int MakeEmpty(const std::string& dir) {
    const std::string path = StripTrailingBackslash(dir);
    if (fs::IsPlainDirectory(path)) {
        std::vector<std::string> names;
        const fs::TFileDescriptor folder = fs::OpenDirectory(path);
        if (folder.IsOpen() && fs::ListNames(folder.Get(), names) == 0 && names.empty())
            return 0;
        DeleteDirectoryTree(path);
    }
    return ::mkdir(path.c_str(), 0700) == 0 ? 0 : errno;
}

void NoteEntryFailures(const std::vector<TZipEntryFailure>& failures, const std::string& packagePath,
                       const TFailureNote& note) {
    for (std::size_t i = 0; i < failures.size() && i < EntryFailuresNamed; ++i)
        note(packagePath, failures[i].Entry + ": " + failures[i].Reason);
    if (failures.size() > EntryFailuresNamed)
        note(packagePath, std::to_string(failures.size() - EntryFailuresNamed) + " more entries failed");
}

// Puts the unpacked package folder in place; true when its content reached targetDir. ownModes holds the
// paths (below the extraction folder) of the entries that brought a Unix mode of their own.
bool PutInPlace(const std::string& packageFolder, const std::set<std::string>& ownModes,
                const std::string& packagePath, const std::string& kind, bool replace,
                const std::string& targetDir, const TFailureNote& note) {
    if (!fs::IsPlainDirectory(packageFolder)) {
        // Nothing is put in place: the old folder stays as it is.
        note(packagePath, "the package holds no folder \"" + kind + "\"");
        return false;
    }
    const std::string target = StripTrailingBackslash(targetDir);
    if (replace) {
        if (int err = ReplaceFolder(packageFolder, target)) {
            note(target, std::string("the folder cannot be replaced: ") + std::strerror(err));
            return false;
        }
        return true;
    }
    if (!IsExistingDirectory(targetDir)) {
        note(target, "no such folder");
        return false;
    }
    const std::string journal = InstallJournalPath(kind);
    if (journal.empty()) {
        note(target, "no database folder to keep the install's journal in");
        return false;
    }
    const std::string prefix = kind + "/";
    fs::TCopyFailure failure;
    if (fs::InstallTree(
            packageFolder, target, journal,
            [&](const std::string& path) { return ownModes.count(prefix + path) > 0; }, &failure))
        return true;
    note(failure.Path, std::string("the package cannot be installed: ") + std::strerror(failure.Error));
    return false;
}

} // namespace

bool FetchPackage(const TManifest& manifest, const std::string& kind, std::string& recorded,
                  const std::string& packagePath, const std::string& workDir, const TWorkEvent& onWork,
                  const std::function<bool()>& isTerminated, const TFailureNote& noteFailure) {
    const TFailureNote note = noteFailure ? noteFailure : [](const std::string&, const std::string&) {};
    const TManifestEntry entry = ReadManifestEntry(manifest, kind);
    const std::string& url = entry.Url;
    if (entry.Date.empty() || url.empty() || entry.Date == recorded)
        return false;
    const std::string fileName = LastUrlSegment(url);
    if (!IsUsableFileName(fileName)) {
        note(url, "the URL names no file");
        return false;
    }
    TPackageDigest digest;
    try {
        digest = ParsePackageDigest(entry.Sha256, entry.Size);
    } catch (const EPackageCheckError& e) {
        note(url, e.Message());
        return false;
    }
    if (digest.Sha256.empty() && IsSignedManifest(manifest)) {
        note(url, "no sha256 for " + kind + " in the signed manifest");
        return false;
    }
    if (isTerminated && isTerminated())
        return false;
    const std::string downloadFile = AddTrailingBackslash(workDir) + fileName;
    try {
        TPackageCheck check(digest);
        HttpGetFile(url, downloadFile, onWork, THttpLimits{}, digest.Any() ? &check : nullptr);
    } catch (const EAbort&) {
        // Cancelled: no failure of the server.
        DiscardDownload(downloadFile);
        return false;
    } catch (const EPackageCheckError& e) {
        // Not what the manifest announced: the reason alone says it all.
        note(url, e.Message());
        DiscardDownload(downloadFile);
        return false;
    } catch (...) {
        note(url, FailureReason(std::current_exception()));
        DiscardDownload(downloadFile);
        return false;
    }
    if (isTerminated && isTerminated()) {
        DiscardDownload(downloadFile);
        return false;
    }
    // An old package left at packagePath must never be installed under the new date.
    if (int err = PlacePackage(downloadFile, packagePath)) {
        note(packagePath, std::string("the download cannot be put here: ") + std::strerror(err));
        DiscardDownload(downloadFile);
        return false;
    }
    recorded = entry.Date;
    return true;
}

bool InstallPackage(const std::string& packagePath, const std::string& kind, const std::string& password,
                    bool replace, const std::string& targetDir, const TFailureNote& noteFailure) {
    const TFailureNote note = noteFailure ? noteFailure : [](const std::string&, const std::string&) {};
    if (const TUpdateKind* rules = FindUpdateKind(kind); rules && rules->Mode == TInstallMode::CopyOver)
        replace = false;
    if (!IsExistingFile(packagePath)) {
        note(packagePath, "no such file");
        return false;
    }
    bool result = false;
    std::string extractDir;
    try {
        extractDir = CreateTempWorkDir(std::string(WorkDirPrefix), GetConfigDir());
        std::set<std::string> ownModes;
        if (int err = MakeEmpty(extractDir)) {
            note(extractDir, std::string("the extraction folder cannot be made: ") + std::strerror(err));
        } else if (auto failures = ExtractZipFile(packagePath, extractDir, password, &ownModes);
                   !failures.empty()) {
            // All or nothing: a package with a missing entry is not installed at all.
            NoteEntryFailures(failures, packagePath, note);
        } else {
            result = PutInPlace(AddTrailingBackslash(extractDir) + kind, ownModes, packagePath, kind, replace,
                                targetDir, note);
        }
    } catch (...) {
        note(packagePath, FailureReason(std::current_exception()));
        result = false;
    }
    try {
        if (!extractDir.empty())
            DeleteDirectoryTree(extractDir);
    } catch (const std::exception& e) {
        // What is left is removed by the next run's clean-up of stale extraction folders.
        DebugLog("Extraction folder " + extractDir + " not removed: " + e.what(), {},
                 DebugFlags::Warning | DebugFlags::UpdateRun);
    }
    if (!replace)
        RemoveFile(packagePath);
    return result;
}

std::string InstallJournalPath(const std::string& kind) {
    const std::string databaseDir = GetDatabaseDir();
    return databaseDir.empty() ? std::string() : databaseDir + ".kalmora-" + kind + ".journal";
}

void RemoveStaleExtractionDirs(const std::string& configDir) {
    static const std::regex workDirName(std::string(WorkDirPrefix) + "[0-9]{5}");
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
