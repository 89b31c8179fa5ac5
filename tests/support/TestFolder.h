#pragma once

// A fresh folder below the temporary directory for one test, removed with everything in it afterwards, and
// the small file readers and writers the tests use on it.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace kalmora::test {

// Removes path with everything below it, read-only folders included (tests and archives make them on
// purpose).
inline void RemoveAll(const std::string& path) {
    std::error_code ec;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        ::chmod(path.c_str(), 0700);
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            ::chmod(it->path().c_str(), 0700);
    std::filesystem::remove_all(path, ec);
    if (ec)
        std::fprintf(stderr, "could not remove %s: %s\n", path.c_str(), ec.message().c_str());
}

class TTestFolder {
public:
    TTestFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kmtest.XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a test folder below " + pattern);
        FPath = pattern;
        // Children that give up root must reach the files below.
        ::chmod(FPath.c_str(), 0755);
    }
    TTestFolder(const TTestFolder&) = delete;
    TTestFolder& operator=(const TTestFolder&) = delete;
    ~TTestFolder() { RemoveAll(FPath); }

    // The folder, without a trailing "/".
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& name) const { return FPath + "/" + name; }

private:
    std::string FPath;
};

inline void WriteFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
    ::chmod(path.c_str(), mode);
}

// Makes one folder with exactly `mode` (no umask); raises when it cannot.
inline void MakeDir(const std::string& path, mode_t mode = 0755) {
    if (::mkdir(path.c_str(), mode) != 0)
        throw std::runtime_error("cannot make the folder " + path);
    ::chmod(path.c_str(), mode);
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names in `folder`, sorted; none when it is no folder.
inline std::vector<std::string> FileNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

inline mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

} // namespace kalmora::test
