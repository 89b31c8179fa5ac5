#include "ZipBitInput.h"
#include "ZipDecoder.h"
#include "ZipSlidingWindow.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace kalmora {

namespace {

constexpr unsigned MaxCodeLength = 16;

// A Shannon-Fano tree as the entry stores it (run-length coded bit lengths), turned into a lookup table
// indexed by the next stream bits.
class TShannonFanoTree {
public:
    void Read(TZipBitInput& bits, unsigned symbolCount) {
        std::vector<uint8_t> lengths;
        lengths.reserve(symbolCount);
        unsigned groups = bits.Read(8) + 1;
        for (unsigned g = 0; g < groups; ++g) {
            unsigned byte = bits.Read(8);
            unsigned length = (byte & 0x0F) + 1;
            unsigned count = (byte >> 4) + 1;
            if (lengths.size() + count > symbolCount)
                throw EAbZipDataError("Corrupt Implode data: tree holds too many codes");
            lengths.insert(lengths.end(), count, static_cast<uint8_t>(length));
        }
        if (lengths.size() != symbolCount)
            throw EAbZipDataError("Corrupt Implode data: tree holds too few codes");
        Build(lengths);
    }

    unsigned Decode(TZipBitInput& bits) const {
        const TEntry& e = FTable[bits.Peek(FMaxLength)];
        if (e.length == 0)
            throw EAbZipDataError("Corrupt Implode data: invalid code");
        bits.Drop(e.length);
        return e.symbol;
    }

private:
    struct TEntry {
        uint16_t symbol = 0;
        uint8_t length = 0;
    };

    // The longest codes get the lowest values; each code goes out with its most significant bit first.
    void Build(const std::vector<uint8_t>& lengths) {
        std::vector<uint16_t> order(lengths.size());
        std::iota(order.begin(), order.end(), uint16_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](uint16_t a, uint16_t b) { return lengths[a] < lengths[b]; });
        FMaxLength = lengths[order.back()];
        FTable.assign(size_t{1} << FMaxLength, TEntry{});
        uint32_t code = 0;
        uint32_t increment = 0;
        unsigned lastLength = 0;
        for (size_t i = order.size(); i-- > 0;) {
            uint16_t symbol = order[i];
            unsigned length = lengths[symbol];
            code += increment;
            if (length != lastLength) {
                lastLength = length;
                increment = 1u << (MaxCodeLength - length);
            }
            if (code >= (1u << MaxCodeLength))
                throw EAbZipDataError("Corrupt Implode data: oversubscribed tree");
            uint32_t top = code >> (MaxCodeLength - length);
            uint32_t reversed = 0;
            for (unsigned b = 0; b < length; ++b)
                reversed |= ((top >> b) & 1u) << (length - 1 - b);
            for (uint32_t index = reversed; index < FTable.size(); index += 1u << length)
                FTable[index] = {symbol, static_cast<uint8_t>(length)};
        }
    }

    std::vector<TEntry> FTable;
    unsigned FMaxLength = 0;
};

class TImplodeDecoder : public TZipDecoder {
public:
    TImplodeDecoder(TZipEntryInput& input, const TZipDecoderParams& params)
        : FBits(input, "Implode"), FWindow(params.uncompressedSize),
          FHasLiteralTree(HasFlag(params.generalPurposeBitFlag, TZipFlag::Implode3Trees)),
          FLowDistanceBits(HasFlag(params.generalPurposeBitFlag, TZipFlag::Implode8kDictionary) ? 7 : 6),
          FMinMatch(FHasLiteralTree ? 3 : 2) {
        if (FHasLiteralTree)
            FLiterals.Read(FBits, 256);
        FLengths.Read(FBits, 64);
        FDistances.Read(FBits, 64);
    }

    size_t Decode(std::span<uint8_t> out) override {
        size_t done = 0;
        for (;;) {
            if (FWindow.CopyUntilFull(out, done))
                return done;
            if (FBits.Read(1) != 0) {
                unsigned literal = FHasLiteralTree ? FLiterals.Decode(FBits) : FBits.Read(8);
                FWindow.Put(static_cast<uint8_t>(literal), out, done);
                continue;
            }
            uint32_t low = FBits.Read(FLowDistanceBits);
            uint32_t distance = ((FDistances.Decode(FBits) << FLowDistanceBits) | low) + 1;
            uint32_t length = FLengths.Decode(FBits);
            if (length == 63)
                length += FBits.Read(8);
            FWindow.StartCopy(distance, length + FMinMatch);
        }
    }

private:
    TZipBitInput FBits;
    TZipSlidingWindow FWindow;
    bool FHasLiteralTree;
    unsigned FLowDistanceBits;
    unsigned FMinMatch;
    TShannonFanoTree FLiterals;
    TShannonFanoTree FLengths;
    TShannonFanoTree FDistances;
};

} // namespace

std::unique_ptr<TZipDecoder> MakeImplodeDecoder(TZipEntryInput& input, const TZipDecoderParams& params) {
    return std::make_unique<TImplodeDecoder>(input, params);
}

} // namespace kalmora
