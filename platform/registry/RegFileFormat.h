#pragma once

// The text format of the registry editor, the form hive files and import files take. Reading follows what the
// editor accepts (the grammar is at the top of RegFileFormat.cpp and in kalmora-reg(1)); writing gives UTF-8
// with LF line ends and the "Windows Registry Editor Version 5.00" header.

#include "RegNode.h"

#include <string>
#include <string_view>
#include <vector>

namespace kalmora::registry {

struct TRegFileEntry {
    std::string Name;
    bool Remove = false; // "name"=-
    std::uint32_t Type = REG_SZ;
    std::string Data;
};

struct TRegFileSection {
    HiveId Hive = HiveId::LocalMachine;
    std::string Path;    // below the hive root, without leading "\"
    bool Remove = false; // [-ROOT\path]
    std::vector<TRegFileEntry> Entries;
};

// A line the grammar refuses. The editor skips such a line and reads on; so does the parser, and the caller
// decides what a refused line means (a hive that has one cannot be parsed, an import skips it).
struct TRegFileFault {
    size_t Line = 0; // counted from 1
    std::string Reason;
};

struct TRegFileContent {
    std::vector<TRegFileSection> Sections;
    std::vector<TRegFileFault> Refused;
};

// Parses a whole file. Returns false, with the reason in `error`, only for a file the editor refuses whole:
// no header on the first line, or broken UTF-16. Otherwise every line the grammar refuses is listed in
// `content.Refused` and left out of `content.Sections`.
bool ParseRegFile(std::string_view text, TRegFileContent& content, std::string& error);

// "line N: reason" of the first refused line; empty when none was refused.
std::string FirstRefusal(const TRegFileContent& content);

// Merges the sections of `hive` into `root` in file order (deletions included).
void ApplySections(const TRegFileContent& content, HiveId hive, TRegNode& root);

// The file header line.
inline constexpr std::string_view RegFileHeader = "Windows Registry Editor Version 5.00";

// Whether a value of this type and data can be written so that reading gives it back. Text types need text
// that converts to UTF-16 wherever the file carries them as hex (REG_MULTI_SZ always, REG_SZ and
// REG_EXPAND_SZ when they hold a line break).
bool CanWriteValue(std::uint32_t type, std::string_view data);

// The sections of one hive, every key included (also empty ones, so their existence survives), without the
// header line. A value comes back from ParseRegFile with its type and data; string data comes back as the
// text up to its first NUL and one NUL, the form the store keeps strings in.
std::string FormatRegSections(const TRegNode& root, HiveId hive);
// Header, blank line, sections.
std::string FormatRegFile(const TRegNode& root, HiveId hive);

} // namespace kalmora::registry
