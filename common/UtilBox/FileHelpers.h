#pragma once

// File and path helpers. Paths use "/"; directories carry a trailing "/" where they are stored or joined.

#include "runtime/Exceptions.h"

#include <string>

namespace kalmora {

// A file that cannot be opened (FileToStr). ErrorCode is the errno value behind it.
class EFOpenError : public Exception {
public:
    EFOpenError(std::string message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    std::string_view ClassName() const noexcept override { return "EFOpenError"; }
    int ErrorCode = 0;
};

std::string AddTrailingBackslash(const std::string& path);
std::string StripTrailingBackslash(const std::string& path);
std::string LastUrlSegment(const std::string& text);
std::string GetTempDirectory();
// Creates prefix + five digits inside baseDir (the temporary directory when empty), mode 0700; returns the
// path with a trailing "/". The names follow one fixed sequence per process, so the first name of every run
// is the same. A name that exists as a link, a non-folder or someone else's folder is skipped for the next;
// an own folder of that name is used as it is. When the folder cannot be created (a missing base, say) the
// path is returned all the same. Safe on any thread.
std::string CreateTempWorkDir(const std::string& prefix, const std::string& baseDir = {});
// Deletes the folder and everything in it without following any link; false when anything stays (the entries
// that could go are gone). An empty path is an assertion failure.
bool DeleteDirectoryTree(const std::string& path);
bool IsExistingDirectory(const std::string& path);
bool IsExistingFile(const std::string& path);
// Renames; without `replace` an existing target (a folder too) makes it fail. When the rename fails (another
// file system, say) a single file is copied and the source deleted.
bool MoveFileOrCopy(const std::string& source, const std::string& target, bool replace);
// Copies one file; a target that is a folder receives the file under its own name. Without `replace` an
// existing target makes it fail. The target is replaced atomically and keeps the source's permission bits.
bool CopyFileTo(const std::string& source, const std::string& target, bool replace);
// Creates the folder with its missing parents; true when it exists afterwards. Raises Exception "Unable to
// create directory" for an empty path.
bool CreateDirectoryPath(const std::string& path);
// The whole content of a regular file. Raises EFOpenError when it cannot be opened or another process holds
// a flock on it, Exception "FileToStr: File too big." beyond 2 GiB - 1.
std::string FileToStr(const std::string& fileName);

} // namespace kalmora
