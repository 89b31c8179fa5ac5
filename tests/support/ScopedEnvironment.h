#pragma once

// Sets an environment variable for the life of one object and puts back what was there before.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace kalmora::test {

class TScopedEnvironment {
public:
    // Without a value the variable is unset for the object's life.
    TScopedEnvironment(std::string name, const std::optional<std::string>& value) : FName(std::move(name)) {
        if (const char* before = std::getenv(FName.c_str()))
            FBefore = before;
        if (value)
            ::setenv(FName.c_str(), value->c_str(), 1);
        else
            ::unsetenv(FName.c_str());
    }
    ~TScopedEnvironment() {
        if (FBefore)
            ::setenv(FName.c_str(), FBefore->c_str(), 1);
        else
            ::unsetenv(FName.c_str());
    }
    TScopedEnvironment(const TScopedEnvironment&) = delete;
    TScopedEnvironment& operator=(const TScopedEnvironment&) = delete;

private:
    std::string FName;
    std::optional<std::string> FBefore;
};

// An X display name that no server on this machine answers (no socket, no lock file).
inline std::string UnreachableDisplay() {
    int number = 150;
    auto taken = [](int n) {
        const std::string digits = std::to_string(n);
        return std::filesystem::exists("/tmp/.X11-unix/X" + digits) ||
               std::filesystem::exists("/tmp/.X" + digits + "-lock");
    };
    while (taken(number))
        ++number;
    return ":" + std::to_string(number);
}

} // namespace kalmora::test
