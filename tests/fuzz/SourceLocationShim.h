#pragma once

// clang 14 lacks the builtin that libstdc++ 12 builds std::source_location on, so <source_location> declares
// nothing there. The fuzz build (and only it) supplies the class from the older builtins that clang has.

#include <version>

#if !defined(__cpp_lib_source_location)
#include <cstdint>

namespace std {
struct source_location {
    static constexpr source_location current(const char* file = __builtin_FILE(),
                                             const char* function = __builtin_FUNCTION(),
                                             uint_least32_t line = __builtin_LINE(),
                                             uint_least32_t column = __builtin_COLUMN()) noexcept {
        source_location where;
        where.FFile = file;
        where.FFunction = function;
        where.FLine = line;
        where.FColumn = column;
        return where;
    }
    constexpr uint_least32_t line() const noexcept { return FLine; }
    constexpr uint_least32_t column() const noexcept { return FColumn; }
    constexpr const char* file_name() const noexcept { return FFile; }
    constexpr const char* function_name() const noexcept { return FFunction; }

private:
    const char* FFile = "";
    const char* FFunction = "";
    uint_least32_t FLine = 0;
    uint_least32_t FColumn = 0;
};
} // namespace std
#endif
