#include "HuffmanTable.h"

#include <array>

namespace kalmora {

namespace {

uint32_t Reversed(uint32_t code, unsigned length) {
    uint32_t result = 0;
    for (unsigned i = 0; i < length; ++i, code >>= 1)
        result = (result << 1) | (code & 1);
    return result;
}

struct TCode {
    uint16_t symbol;
    uint8_t length;
    uint32_t code; // most significant bit first, as RFC 1951 writes codes
};

} // namespace

bool THuffmanTable::Build(std::span<const uint8_t> lengths, std::span<const uint32_t> symbolEntries,
                          unsigned tableBits) {
    using namespace huffman;
    std::array<uint32_t, MaxCodeLength + 1> count{};
    for (uint8_t length : lengths)
        ++count[length];
    count[0] = 0;
    int left = 1;
    for (unsigned length = 1; length <= MaxCodeLength; ++length) {
        left = left * 2 - static_cast<int>(count[length]);
        if (left < 0)
            return false;
    }

    std::array<uint32_t, MaxCodeLength + 2> nextCode{};
    std::array<uint32_t, MaxCodeLength + 2> firstIndex{};
    for (unsigned length = 1; length <= MaxCodeLength; ++length) {
        nextCode[length] = (nextCode[length - 1] + count[length - 1]) << 1;
        firstIndex[length + 1] = firstIndex[length] + count[length];
    }
    // Codes in canonical order: by length, then by symbol. Codes sharing their first tableBits bits lie
    // side by side in this order, the longest last.
    std::vector<TCode> codes(firstIndex[MaxCodeLength + 1]);
    for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        unsigned length = lengths[symbol];
        if (length == 0)
            continue;
        codes[firstIndex[length]++] = {static_cast<uint16_t>(symbol), static_cast<uint8_t>(length),
                                       nextCode[length]++};
    }

    FTableBits = tableBits;
    FPrimaryMask = (uint64_t{1} << tableBits) - 1;
    FEntries.assign(size_t{1} << tableBits, Invalid);
    for (size_t i = 0; i < codes.size();) {
        const TCode& c = codes[i];
        if (c.length <= tableBits) {
            uint32_t entry = symbolEntries[c.symbol] | c.length;
            for (uint32_t slot = Reversed(c.code, c.length); slot < (1u << tableBits); slot += 1u << c.length)
                FEntries[slot] = entry;
            ++i;
            continue;
        }
        uint32_t prefix = c.code >> (c.length - tableBits);
        size_t end = i;
        while (end < codes.size() && codes[end].code >> (codes[end].length - tableBits) == prefix)
            ++end;
        unsigned subBits = codes[end - 1].length - tableBits;
        uint32_t offset = static_cast<uint32_t>(FEntries.size());
        FEntries.resize(FEntries.size() + (size_t{1} << subBits), Invalid);
        FEntries[Reversed(prefix, tableBits)] = Link | subBits | (offset << ValueShift);
        for (; i < end; ++i) {
            const TCode& s = codes[i];
            unsigned rest = s.length - tableBits;
            uint32_t entry = symbolEntries[s.symbol] | s.length;
            for (uint32_t slot = Reversed(s.code & ((1u << rest) - 1), rest); slot < (1u << subBits);
                 slot += 1u << rest)
                FEntries[offset + slot] = entry;
        }
    }
    return true;
}

} // namespace kalmora
