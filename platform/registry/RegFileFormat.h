#pragma once

// The text format of the registry editor ("Windows Registry Editor Version 5.00"), the form hive files and
// import files take. Reading accepts UTF-8 (with or without BOM) and UTF-16LE with BOM, as the registry
// editor writes it; writing gives UTF-8 with LF line ends.

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

struct TRegFileContent {
    std::vector<TRegFileSection> Sections;
};

// Parses a whole file. On a malformed file returns false and names the line and the fault in `error`;
// `content` is then unspecified.
bool ParseRegFile(std::string_view text, TRegFileContent& content, std::string& error);

// Merges the sections of `hive` into `root` in file order (deletions included).
void ApplySections(const TRegFileContent& content, HiveId hive, TRegNode& root);

// The file header line.
inline constexpr std::string_view RegFileHeader = "Windows Registry Editor Version 5.00";

// The sections of one hive, every key included (also empty ones, so their existence survives), without the
// header line. Every value comes back from ParseRegFile with its type and its bytes unchanged.
std::string FormatRegSections(const TRegNode& root, HiveId hive);
// Header, blank line, sections.
std::string FormatRegFile(const TRegNode& root, HiveId hive);

} // namespace kalmora::registry
