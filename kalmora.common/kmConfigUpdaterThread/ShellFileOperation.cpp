#include "ShellFileOperation.h"

#include "UtilBox/FileHelpers.h"
#include "UtilBox/TextHelpers.h"
#include "fs/FileSystem.h"
#include "fs/Folders.h"
#include "fs/TreeOps.h"
#include "lmDebug/lmDebug.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora {
namespace {

bool CopyInto(const std::string& from, const std::string& to) {
    if (from.ends_with("/*"))
        return fs::CopyTree(from.substr(0, from.size() - 2), to);
    std::string target = to;
    if (fs::IsPlainDirectory(to))
        target = AddTrailingBackslash(to) + std::filesystem::path(from).filename().string();
    if (fs::IsPlainDirectory(from))
        return fs::CopyTree(from, target);
    return CopyFileTo(from, target, true);
}

bool DeletePath(const std::string& from) {
    if (from.ends_with("/*")) {
        const std::string dir = from.substr(0, from.size() - 2);
        if (!fs::IsPlainDirectory(dir))
            return false;
        bool ok = true;
        for (auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::string child = entry.path().string();
            ok = (fs::IsPlainDirectory(child) ? DeleteDirectoryTree(child) : ::unlink(child.c_str()) == 0) &&
                 ok;
        }
        return ok;
    }
    return fs::IsPlainDirectory(from) ? DeleteDirectoryTree(from) : ::unlink(from.c_str()) == 0;
}

bool Move(const std::string& source, const std::string& target) {
    std::string moved = fs::IsPlainDirectory(target) && !source.ends_with("/*")
                            ? AddTrailingBackslash(target) + std::filesystem::path(source).filename().string()
                            : target;
    const bool renamed = !source.ends_with("/*") &&
                         (fs::IsPlainDirectory(source) ? fs::RenameNoReplace(source, moved) == 0
                                                       : ::rename(source.c_str(), moved.c_str()) == 0);
    return renamed || (CopyInto(source, target) && DeletePath(source));
}

} // namespace

bool ShellFileOperation(const std::string& from, const std::string& to, unsigned operation, bool /*showUI*/) {
    if (from.empty() || (operation != FO_DELETE && to.empty()) || SameText(from, to))
        return false;
    const std::string source = StripTrailingBackslash(from);
    const std::string target = StripTrailingBackslash(to);
    try {
        switch (operation) {
        case FO_COPY:
            return CopyInto(source, target);
        case FO_MOVE:
            return Move(source, target);
        case FO_DELETE:
            return DeletePath(source);
        case FO_RENAME:
            return fs::RenameNoReplace(source, target) == 0;
        default:
            return false;
        }
    } catch (const std::exception& e) {
        // The shell operation reports by its result only; the reason goes to the log.
        DebugLog(std::string("ShellFileOperation ") + from + ": " + e.what(), {},
                 DebugFlags::Warning | DebugFlags::UpdateRun);
        return false;
    }
}

} // namespace kalmora
