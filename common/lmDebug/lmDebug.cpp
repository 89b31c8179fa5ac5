#include "lmDebug.h"

#include "fs/FileSystem.h"
#include "runtime/FormatSettings.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace kalmora {
namespace {

constexpr std::string_view ErrorPrefix = "#ERROR";

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct DebugState {
    std::mutex mutex;
    std::uint32_t level = 0;
    std::string fileName;
    std::unique_ptr<std::FILE, FileCloser> file;
    DebugBoxHook box;
    DebugInputHook input;
    DebugOutputHook output;
};

DebugState& State() {
    static DebugState state;
    return state;
}

std::uint32_t Normalised(std::uint32_t level) {
    return (level >> 16) == DebugEnableCode ? level : 0;
}

// The file lies in whatever folder was current at start, possibly a shared one: a link planted under its name
// is refused, never followed, and the descriptor does not leak into programs started later.
std::FILE* CreateDebugFile(const std::string& fileName) {
    fs::TFileDescriptor fd(
        ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.IsOpen())
        return nullptr;
    std::FILE* file = ::fdopen(fd.Get(), "wb");
    if (file)
        fd.Release();
    return file;
}

std::string ProgramFileName() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("kalmora") : exe.filename().string();
}

void WriteToFile(DebugState& s, std::string_view prefix, std::string_view text) {
    if (s.fileName.empty())
        return;
    if (!s.file) {
        s.file.reset(CreateDebugFile(s.fileName));
        if (!s.file)
            return;
        std::fputs("Debug file was closed. Rewrite debug file.\r\n", s.file.get());
    }
    std::string entry = "\r\n";
    auto stamp = FormatLocalDateTime(std::time(nullptr));
    entry += prefix.empty() ? stamp : std::string(prefix) + ", " + stamp;
    entry += "\r\n";
    entry += text;
    entry += "\r\n";
    if (std::fwrite(entry.data(), 1, entry.size(), s.file.get()) != entry.size() ||
        std::fflush(s.file.get()) != 0)
        s.file.reset(); // the next entry tries again
}

} // namespace

bool ParseDebugLevel(std::string_view text, std::uint32_t& level) {
    int base = 10;
    if (text.starts_with("$")) {
        text.remove_prefix(1);
        base = 16;
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty())
        return false;
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    level = value;
    return true;
}

std::uint32_t SetDebugLevel(std::uint32_t level) {
    auto& s = State();
    if (level == 0) {
        DebugInputHook input;
        std::uint32_t current;
        {
            std::lock_guard lock(s.mutex);
            input = s.input;
            current = s.level;
        }
        char prefilled[16];
        std::snprintf(prefilled, sizeof prefilled, "$%08X", current);
        std::string value = prefilled;
        level = current;
        if (input && input("Debug", "Level", value)) {
            std::uint32_t entered = 0;
            level = ParseDebugLevel(value, entered) ? entered : 0;
        }
    }
    std::lock_guard lock(s.mutex);
    s.level = Normalised(level);
    return s.level;
}

std::uint32_t GetDebugLevel() {
    auto& s = State();
    std::lock_guard lock(s.mutex);
    return s.level;
}

bool IsDebugEnabled() {
    return (GetDebugLevel() >> 16) == DebugEnableCode;
}

void DebugLog(std::string_view text, std::string_view prefix, std::uint16_t flags) {
    WriteDebugEntry(flags, prefix.empty() ? std::string_view("Log: ") : prefix, text);
}

void DebugError(std::string_view text, std::string_view where, std::uint16_t flags) {
    std::string prefix(ErrorPrefix);
    if (where.empty())
        prefix += ": ";
    else
        prefix += " (in '" + std::string(where) + "') : ";
    WriteDebugEntry(flags, prefix, text);
}

void WriteDebugEntry(std::uint16_t flags, std::string_view prefix, std::string_view text) {
    auto& s = State();
    std::unique_lock lock(s.mutex);
    const std::uint32_t level = s.level;
    if ((flags & level) != flags)
        return;
    const bool isError = (flags & DebugFlags::AnyError) != 0;
    const bool isWarning = (flags & DebugFlags::Warning) != 0;

    if ((level & DebugBits::BoxAll) || ((level & DebugBits::BoxErrors) && isError)) {
        std::string boxText = "DEBUG: " + std::string(prefix) + "\r\n\r\n" + std::string(text);
        std::string caption = isError ? "Fehler" : "Warnung";
        auto box = s.box;
        // A modal box may run the event loop, which may log again: never hold the lock across it.
        lock.unlock();
        if (box)
            box(isError, caption, boxText);
        else
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), boxText.c_str());
        lock.lock();
    }
    if (level & DebugBits::File)
        WriteToFile(s, prefix, text);
    if ((level & DebugBits::AllToDebugger) ||
        ((level & DebugBits::WarningsToDebugger) && (isWarning || isError)) ||
        ((level & DebugBits::ErrorsToDebugger) && isError)) {
        std::string line = std::string(prefix) + ": " + std::string(text);
        if (s.output)
            s.output(line);
        else
            std::fprintf(stderr, "%s\n", line.c_str());
    }
}

void StartDebugLog() {
    std::error_code ec;
    auto cwd = std::filesystem::current_path(ec);
    SetDebugFileName((ec ? std::string(".") : cwd.string()) + "/" + ProgramFileName() + ".Debug.log");
    std::uint32_t level = DefaultDebugLevel;
    if (const char* env = std::getenv("KALMORA_DEBUG_LEVEL"); env && *env) {
        std::uint32_t parsed = 0;
        if (ParseDebugLevel(env, parsed))
            level = parsed;
    }
    SetDebugLevel(level == 0 ? DefaultDebugLevel : level);
    DebugLog("Starting Debug-Log.", {}, DebugFlags::Lifecycle);
}

void StopDebugLog() {
    DebugLog("Stopping Debug-Log.", {}, DebugFlags::Lifecycle);
    auto& s = State();
    std::lock_guard lock(s.mutex);
    s.file.reset();
}

std::string DebugFileName() {
    auto& s = State();
    std::lock_guard lock(s.mutex);
    return s.fileName;
}

void SetDebugFileName(std::string fileName) {
    auto& s = State();
    std::lock_guard lock(s.mutex);
    s.file.reset();
    s.fileName = std::move(fileName);
}

void SetDebugBoxHook(DebugBoxHook hook) {
    auto& s = State();
    std::lock_guard lock(s.mutex);
    s.box = std::move(hook);
}

void SetDebugInputHook(DebugInputHook hook) {
    auto& s = State();
    std::lock_guard lock(s.mutex);
    s.input = std::move(hook);
}

void SetDebugOutputHook(DebugOutputHook hook) {
    auto& s = State();
    std::lock_guard lock(s.mutex);
    s.output = std::move(hook);
}

} // namespace kalmora
