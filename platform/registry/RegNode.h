#pragma once

// The in-memory form of a hive: a tree of keys holding typed values. Key and value names are compared
// without regard to ASCII letter case and keep the case they were first written with.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalmora::registry {

// Value types, numbered as the registry numbers them.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr std::uint32_t REG_LINK = 6;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_QWORD = 11;

enum class HiveId { LocalMachine, CurrentUser };

// The root names a hive file and an import file use for their sections.
std::string_view HiveRootName(HiveId hive);

// A value's data is kept as the raw bytes the registry would hold: a string is its text and one NUL.
struct TRegValue {
    std::string Name; // empty: the unnamed value ("@")
    std::uint32_t Type = REG_SZ;
    std::string Data;

    bool operator==(const TRegValue& other) const = default;
};

// Data of a string value as the store writes it.
std::string StringData(std::string_view text);
// Data of a REG_DWORD (little endian, four bytes).
std::string DwordData(std::uint32_t value);

bool NamesEqual(std::string_view a, std::string_view b) noexcept;

class TRegNode {
public:
    TRegNode() = default;
    explicit TRegNode(std::string name) : Name(std::move(name)) {}

    std::string Name;
    std::vector<TRegValue> Values;
    std::vector<TRegNode> SubKeys;

    const TRegNode* FindSubKey(std::string_view name) const;
    TRegNode* FindSubKey(std::string_view name);
    TRegNode& SubKey(std::string_view name); // created when absent
    bool RemoveSubKey(std::string_view name);

    const TRegValue* FindValue(std::string_view name) const;
    // Replaces the data and type; an existing value keeps its name's case and its place.
    void SetValue(std::string_view name, std::uint32_t type, std::string data);
    bool RemoveValue(std::string_view name);

    // Path walks over the parts of a key path ("A\B\C"); empty parts are skipped.
    const TRegNode* Find(std::string_view path) const;
    TRegNode* Find(std::string_view path);
    TRegNode& Create(std::string_view path);
    bool Remove(std::string_view path); // the key with its subkeys; false when absent or the root

    bool operator==(const TRegNode& other) const = default;
};

// The non-empty parts of a key path; leading, trailing and doubled "\" add nothing.
std::vector<std::string> SplitKeyPath(std::string_view path);
inline constexpr size_t MaxKeyDepth = 512;
// A key path the store can hold: at most MaxKeyDepth parts of at most 255 bytes each, no control characters.
bool IsValidKeyPath(std::string_view path);
bool IsValidValueName(std::string_view name);

} // namespace kalmora::registry
