#pragma once

// Bits of an entry's compressed data, least significant bit of each byte first, as the legacy PKWARE
// methods (shrink, reduce, implode) pack them.

#include "zip/ZipEntryInput.h"
#include "zip/ZipErrors.h"

#include <cstdint>

namespace kalmora {

class TZipBitInput {
public:
    TZipBitInput(TZipEntryInput& input, const char* method) : FInput(input), FMethod(method) {}

    // The next count (at most 32) bits without consuming them; bits past the end of the data read as 0.
    uint32_t Peek(unsigned count) {
        if (FCount < count)
            Refill();
        return static_cast<uint32_t>(FBits & ((uint64_t{1} << count) - 1));
    }
    // Consumes count bits that a Peek has shown; throws when the data ended before them.
    void Drop(unsigned count) {
        if (count > FCount)
            throw EAbZipDataError(std::string(FMethod) + " data ends before the end of its stream");
        FBits >>= count;
        FCount -= count;
    }
    uint32_t Read(unsigned count) {
        uint32_t value = Peek(count);
        Drop(count);
        return value;
    }

private:
    void Refill() {
        while (FCount <= 56) {
            auto in = FInput.Peek();
            if (in.empty())
                return;
            size_t n = 0;
            while (n < in.size() && FCount <= 56) {
                FBits |= uint64_t{in[n++]} << FCount;
                FCount += 8;
            }
            FInput.Consume(n);
        }
    }

    TZipEntryInput& FInput;
    const char* FMethod;
    uint64_t FBits = 0;
    unsigned FCount = 0;
};

} // namespace kalmora
