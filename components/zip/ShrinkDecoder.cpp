#include "ZipBitInput.h"
#include "ZipDecoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kalmora {

namespace {

// LZW with codes of 9 to 13 bits. Code 256 escapes a control code: 1 widens the codes by one bit, 2 frees
// every leaf of the string tree so that its codes can be given out again, lowest first.
constexpr unsigned FirstCodeSize = 9;
constexpr unsigned LastCodeSize = 13;
constexpr unsigned CodeCount = 1u << LastCodeSize;
constexpr unsigned ControlCode = 256;
constexpr unsigned FirstFreeCode = 257;
constexpr int16_t LiteralRoot = -1;
constexpr int16_t FreeCode = -2;

class TShrinkDecoder : public TZipDecoder {
public:
    TShrinkDecoder(TZipEntryInput& input, const TZipDecoderParams& params)
        : FBits(input, "Shrink"), FLeft(params.uncompressedSize) {
        FParent.fill(FreeCode);
        for (unsigned c = 0; c < ControlCode; ++c) {
            FParent[c] = LiteralRoot;
            FSuffix[c] = static_cast<uint8_t>(c);
        }
    }

    size_t Decode(std::span<uint8_t> out) override {
        size_t done = 0;
        while (done < out.size() && FLeft > 0) {
            if (FPendingBegin == FPending.size()) {
                NextString();
                continue;
            }
            size_t n = std::min<uint64_t>({out.size() - done, FPending.size() - FPendingBegin, FLeft});
            std::memcpy(out.data() + done, FPending.data() + FPendingBegin, n);
            FPendingBegin += n;
            done += n;
            FLeft -= n;
        }
        return done;
    }

private:
    bool InUse(unsigned code) const { return FParent[code] != FreeCode; }

    void NextString() {
        unsigned code = FBits.Read(FCodeSize);
        while (code == ControlCode) {
            unsigned control = FBits.Read(FCodeSize);
            if (control == 1 && FCodeSize < LastCodeSize)
                ++FCodeSize;
            else if (control == 2)
                PartialClear();
            else
                throw EAbZipDataError("Corrupt Shrink data: unknown control code");
            code = FBits.Read(FCodeSize);
        }
        if (FPrevious < 0) {
            if (code >= ControlCode)
                throw EAbZipDataError("Corrupt Shrink data: the first code is not a literal");
            Expand(code);
            FPrevious = static_cast<int>(code);
            return;
        }
        // A code may name the string being defined by this very step (previous string plus its own first
        // character); any other unused code is corrupt data.
        uint8_t first;
        if (InUse(code))
            first = FirstChar(code);
        else if (code == FNextFree)
            first = FirstChar(static_cast<unsigned>(FPrevious));
        else
            throw EAbZipDataError("Corrupt Shrink data: undefined code");
        if (FNextFree < CodeCount) {
            FParent[FNextFree] = static_cast<int16_t>(FPrevious);
            FSuffix[FNextFree] = first;
            do
                ++FNextFree;
            while (FNextFree < CodeCount && InUse(FNextFree));
        }
        Expand(code);
        FPrevious = static_cast<int>(code);
    }

    uint8_t FirstChar(unsigned code) const {
        for (unsigned steps = 0; FParent[code] != LiteralRoot; ++steps) {
            if (FParent[code] == FreeCode || steps >= CodeCount)
                throw EAbZipDataError("Corrupt Shrink data: broken string chain");
            code = static_cast<unsigned>(FParent[code]);
        }
        return FSuffix[code];
    }

    // Writes the string of code into the end of the pending buffer, walking from its last character back.
    void Expand(unsigned code) {
        size_t at = FPending.size();
        for (;;) {
            if (at == 0 || FParent[code] == FreeCode)
                throw EAbZipDataError("Corrupt Shrink data: broken string chain");
            FPending[--at] = FSuffix[code];
            if (FParent[code] == LiteralRoot)
                break;
            code = static_cast<unsigned>(FParent[code]);
        }
        FPendingBegin = at;
    }

    void PartialClear() {
        std::array<bool, CodeCount> isParent{};
        for (unsigned c = FirstFreeCode; c < CodeCount; ++c)
            if (FParent[c] >= static_cast<int16_t>(FirstFreeCode))
                isParent[static_cast<unsigned>(FParent[c])] = true;
        for (unsigned c = FirstFreeCode; c < CodeCount; ++c)
            if (!isParent[c])
                FParent[c] = FreeCode;
        FNextFree = FirstFreeCode;
        while (FNextFree < CodeCount && InUse(FNextFree))
            ++FNextFree;
    }

    TZipBitInput FBits;
    uint64_t FLeft;
    unsigned FCodeSize = FirstCodeSize;
    unsigned FNextFree = FirstFreeCode;
    int FPrevious = -1;
    std::array<int16_t, CodeCount> FParent{};
    std::array<uint8_t, CodeCount> FSuffix{};
    std::array<uint8_t, CodeCount> FPending{};
    size_t FPendingBegin = CodeCount;
};

} // namespace

std::unique_ptr<TZipDecoder> MakeShrinkDecoder(TZipEntryInput& input, const TZipDecoderParams& params) {
    return std::make_unique<TShrinkDecoder>(input, params);
}

} // namespace kalmora
