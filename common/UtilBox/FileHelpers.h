#pragma once

// File and path helpers. Paths use "/"; directories carry a trailing "/" where they are stored or joined.

#include <string>

namespace kalmora {

std::string AddTrailingBackslash(const std::string& path);
std::string StripTrailingBackslash(const std::string& path);
std::string LastUrlSegment(const std::string& text);
std::string GetTempDirectory();
// Creates prefix + five digits inside baseDir (the temporary directory when empty), mode 0700; returns the
// path with a trailing "/".
std::string CreateTempWorkDir(const std::string& prefix, const std::string& baseDir = {});
bool DeleteDirectoryTree(const std::string& path);
bool IsExistingDirectory(const std::string& path);
bool IsExistingFile(const std::string& path);
bool MoveFileOrCopy(const std::string& source, const std::string& target, bool replace);
bool CopyFileTo(const std::string& source, const std::string& target, bool replace);
bool CreateDirectoryPath(const std::string& path);
std::string FileToStr(const std::string& fileName);

} // namespace kalmora
