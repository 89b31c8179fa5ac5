#include "ArchiveCheck.h"

#include "UtilBox/FileHelpers.h"
#include "WorkFolder.h"
#include "fs/FileSystem.h"
#include "kmbpShared/UpdateKinds.h"
#include "runtime/Exceptions.h"
#include "zip/ZipArchive.h"
#include "zip/ZipSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>

namespace kalmora::publish {

namespace {

// A wrong password fails every entry alike; past this many the rest are counted.
constexpr std::size_t EntryFaultsNamed = 10;

} // namespace

std::vector<std::string> CheckPackageArchive(const std::string& packageFile, const std::string& kind,
                                             const std::optional<std::string>& password) {
    const bool needsPassword = GetOnlineUpdateDirs(kind).NeedsPassword;
    const std::string folder = kind + "/";
    std::vector<std::string> faults;
    std::size_t entryFaults = 0;
    auto entryFault = [&](const std::string& line) {
        if (++entryFaults <= EntryFaultsNamed)
            faults.push_back(line);
    };

    TWorkFolder work;
    TZipArchive zip;
    zip.BaseDirectory = work.Path;
    zip.ExtractOptions = TExtractOption::eoCreateDirs | TExtractOption::eoRestorePath;
    zip.Password = needsPassword ? password.value_or("") : "";
    zip.OnProcessItemFailure = [&](const TZipItem& item, const std::exception& error) {
        // The updater reports these itself, and the entries without a known password are not checked.
        if (item.IsEncrypted() && (!needsPassword || !password))
            return;
        entryFault(item.fileName + ": " + std::string(ExceptionClassName(error)) + ": " + error.what());
    };
    // Read through a source of its own: opening the file itself would let the reader rewrite an archive
    // without entries, and the publisher's files are never changed.
    fs::TFileDescriptor file(::open(packageFile.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen())
        return {std::string("cannot be read: ") + std::strerror(errno)};
    try {
        zip.OpenSource(std::make_unique<TZipFileSource>(file.Get(), packageFile));
    } catch (...) {
        auto error = DescribeException(std::current_exception());
        return {"cannot be opened: " + error.className + ": " + error.message};
    }
    bool holdsFolder = false;
    std::set<std::string> foreignFolders; // named once each, by their first entry
    for (const TZipItem& item : zip.Items()) {
        if (item.fileName.starts_with(folder) || item.fileName + "/" == folder)
            holdsFolder = true;
        else if (foreignFolders.insert(item.fileName.substr(0, item.fileName.find('/'))).second)
            entryFault(item.fileName + ": outside the folder \"" + kind + "\"");
        if (item.IsEncrypted() && !needsPassword)
            entryFault(item.fileName + ": encrypted, but " + kind +
                       " packages are opened without a password");
    }
    // Entries outside the folder already say why it is missing.
    if (!holdsFolder && entryFaults == 0)
        faults.push_back("holds no folder \"" + kind + "\"");
    zip.ExtractFiles("*.*");
    zip.Close();
    if (entryFaults > EntryFaultsNamed)
        faults.push_back(std::to_string(entryFaults - EntryFaultsNamed) + " more faults");
    return faults;
}

} // namespace kalmora::publish
