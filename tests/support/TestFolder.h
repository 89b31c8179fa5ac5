#pragma once

// A fresh folder below the temporary directory for one test, removed with everything in it afterwards.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace kalmora::test {

class TTestFolder {
public:
    TTestFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kalmora-test-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a test folder");
        FPath = pattern + "/";
    }
    ~TTestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TTestFolder(const TTestFolder&) = delete;
    TTestFolder& operator=(const TTestFolder&) = delete;

    // The folder with a trailing "/".
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& name) const { return FPath + name; }

private:
    std::string FPath;
};

inline void WriteFile(const std::string& name, const std::string& content) {
    std::ofstream file(name, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file)
        throw std::runtime_error("cannot write " + name);
}

inline std::string ReadFile(const std::string& name) {
    std::ifstream file(name, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

inline bool Exists(const std::string& name) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(name, ignored));
}

} // namespace kalmora::test
