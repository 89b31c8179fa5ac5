#pragma once

// The debug log: every message carries a 16-bit flag word; the process-wide level decides which messages pass
// and whether they go to a message box, the debug file or the debugger output (one stderr line here).
// Entries from several threads are serialised.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kalmora {

inline constexpr std::uint32_t DebugEnableCode = 0x7E81;
inline constexpr std::uint32_t DefaultDebugLevel = (DebugEnableCode << 16) | 0x2101;

namespace DebugBits {
inline constexpr std::uint32_t BoxAll = 0x8000;
inline constexpr std::uint32_t File = 0x4000;
inline constexpr std::uint32_t ErrorsToDebugger = 0x2000;
inline constexpr std::uint32_t AllToDebugger = 0x1000;
inline constexpr std::uint32_t BoxErrors = 0x0800;
inline constexpr std::uint32_t WarningsToDebugger = 0x0400;
} // namespace DebugBits

// Bits of a message's flag word. A message is an error when it has Error or ErrorHigh, a warning when it has
// Warning; every bit also counts as a category the level must let through.
namespace DebugFlags {
inline constexpr std::uint16_t Error = 0x0001;
inline constexpr std::uint16_t Warning = 0x0002;
// The start, stop and unit shut-down messages.
inline constexpr std::uint16_t Lifecycle = 0x0004;
inline constexpr std::uint16_t ErrorHigh = 0x0100;
inline constexpr std::uint16_t AnyError = Error | ErrorHigh;
// The update run's own diagnostics: what failed on the update thread and why. Outside the default level,
// because the program reports those failures on stderr itself.
inline constexpr std::uint16_t UpdateRun = 0x0010;
} // namespace DebugFlags

// Sets the level; 0 asks the user through the input-box hook. A level without the enable code becomes 0.
std::uint32_t SetDebugLevel(std::uint32_t level);
std::uint32_t GetDebugLevel();
bool IsDebugEnabled();

void DebugLog(std::string_view text, std::string_view prefix = {}, std::uint16_t flags = 0);
void DebugError(std::string_view text, std::string_view where = {}, std::uint16_t flags = DebugFlags::Error);
void WriteDebugEntry(std::uint16_t flags, std::string_view prefix, std::string_view text);

// Start-up and shut-down of the unit: fixes the file name (current directory + "/" + program file name +
// ".Debug.log"), sets the default level (or KALMORA_DEBUG_LEVEL) and writes "Starting Debug-Log.";
// the shut-down writes "Stopping Debug-Log." and closes the file.
void StartDebugLog();
void StopDebugLog();

// The debug file's full name, fixed by StartDebugLog (empty before).
std::string DebugFileName();
// For tests and tools: fixes another file name and closes an open file.
void SetDebugFileName(std::string fileName);

// Parses "$7E814004", "0x7E814004" or decimal; false when the text is no number of that form.
bool ParseDebugLevel(std::string_view text, std::uint32_t& level);

// Hooks the UI installs. Without a box hook the box text goes to stderr; without an input hook the
// level prompt is cancelled.
using DebugBoxHook = std::function<void(bool isError, const std::string& caption, const std::string& text)>;
using DebugInputHook =
    std::function<bool(const std::string& caption, const std::string& prompt, std::string& value)>;
using DebugOutputHook = std::function<void(const std::string& line)>;
void SetDebugBoxHook(DebugBoxHook hook);
void SetDebugInputHook(DebugInputHook hook);
// Replaces the debugger output (stderr) for tests.
void SetDebugOutputHook(DebugOutputHook hook);

} // namespace kalmora
