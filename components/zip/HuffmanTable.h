#pragma once

// Canonical Huffman codes (RFC 1951, 3.2.2) decoded by table lookup: the first TableBits bits of the input
// index a primary table; codes longer than that continue in a subtable the primary entry links to. Each
// entry carries what the symbol means (a literal, a length or distance base with its extra-bit count, the
// end of a block), so the decoding loop never looks the symbol up a second time.

#include <cstdint>
#include <span>
#include <vector>

namespace kalmora {

namespace huffman {

// Entry layout: bits 0-4 the code length (in a link: the subtable's index width), bits 5-9 the number of
// extra bits, bits 10-13 the kind, bits 16-31 the value (literal byte, base, symbol or subtable offset).
inline constexpr uint32_t LengthMask = 0x1F;
inline constexpr unsigned ExtraShift = 5;
inline constexpr uint32_t ExtraMask = 0x1F;
inline constexpr uint32_t Literal = 1u << 10;
inline constexpr uint32_t EndOfBlock = 1u << 11;
inline constexpr uint32_t Link = 1u << 12;
inline constexpr uint32_t Invalid = 1u << 13;
inline constexpr unsigned ValueShift = 16;
inline constexpr unsigned MaxCodeLength = 15;

constexpr uint32_t Entry(uint32_t kind, uint32_t value, uint32_t extraBits = 0) {
    return kind | (extraBits << ExtraShift) | (value << ValueShift);
}
constexpr unsigned CodeLength(uint32_t entry) {
    return entry & LengthMask;
}
constexpr unsigned ExtraBits(uint32_t entry) {
    return (entry >> ExtraShift) & ExtraMask;
}
constexpr uint32_t Value(uint32_t entry) {
    return entry >> ValueShift;
}

} // namespace huffman

class THuffmanTable {
public:
    // Builds the table for the code lengths (0: symbol unused) with the meaning of each symbol in
    // symbolEntries (an Entry without the code length). Returns false when the lengths ask for more codes
    // than exist; codes left unassigned by an incomplete set decode as Invalid.
    bool Build(std::span<const uint8_t> lengths, std::span<const uint32_t> symbolEntries, unsigned tableBits);

    // The entry for the code at the bottom of bits; bits must hold at least MaxCodeLength valid bits, or
    // zeros standing in for the end of the data.
    uint32_t Lookup(uint64_t bits) const {
        uint32_t entry = FEntries[bits & FPrimaryMask];
        if (entry & huffman::Link)
            entry = FEntries[huffman::Value(entry) +
                             ((bits >> FTableBits) & ((1u << huffman::CodeLength(entry)) - 1))];
        return entry;
    }

private:
    std::vector<uint32_t> FEntries;
    unsigned FTableBits = 0;
    uint64_t FPrimaryMask = 0;
};

} // namespace kalmora
