#include "ZipBitInput.h"
#include "ZipDecoder.h"
#include "ZipSlidingWindow.h"

#include <array>

namespace kalmora {

namespace {

constexpr uint8_t Escape = 144; // DLE: starts a match, or stands for itself when a 0 follows
constexpr unsigned MaxFollowers = 32;

// Bits of a follower index for a set of count characters.
unsigned IndexBits(unsigned count) {
    unsigned bits = 1;
    while ((1u << bits) < count)
        ++bits;
    return bits;
}

// Two stages: characters come from per-predecessor follower sets, then the escaped matches are expanded.
// The compression factor (1..4, methods 2..5) splits the match byte into length and distance high bits.
unsigned CompressionFactor(TZipMethod method) {
    return static_cast<unsigned>(method) - static_cast<unsigned>(TZipMethod::Reduced1) + 1;
}

class TReduceDecoder : public TZipDecoder {
public:
    TReduceDecoder(TZipEntryInput& input, const TZipDecoderParams& params)
        : FBits(input, "Reduce"), FWindow(params.uncompressedSize),
          FLengthMask(static_cast<uint8_t>(0xFFu >> CompressionFactor(params.method))),
          FDistanceShift(8u - CompressionFactor(params.method)) {
        for (int c = 255; c >= 0; --c) {
            auto& set = FFollowers[static_cast<size_t>(c)];
            set.count = static_cast<uint8_t>(FBits.Read(6));
            if (set.count > MaxFollowers)
                throw EAbZipDataError("Corrupt Reduce data: follower set too large");
            for (unsigned i = 0; i < set.count; ++i)
                set.chars[i] = static_cast<uint8_t>(FBits.Read(8));
            set.indexBits = static_cast<uint8_t>(IndexBits(set.count));
        }
    }

    size_t Decode(std::span<uint8_t> out) override {
        size_t done = 0;
        for (;;) {
            if (FWindow.CopyUntilFull(out, done))
                return done;
            uint8_t c = NextChar();
            switch (FState) {
            case TState::Plain:
                if (c == Escape)
                    FState = TState::Escaped;
                else
                    FWindow.Put(c, out, done);
                break;
            case TState::Escaped:
                if (c == 0) {
                    FWindow.Put(Escape, out, done);
                    FState = TState::Plain;
                } else {
                    FMatchByte = c;
                    FLength = c & FLengthMask;
                    FState = FLength == FLengthMask ? TState::LongLength : TState::Distance;
                }
                break;
            case TState::LongLength:
                FLength += c;
                FState = TState::Distance;
                break;
            case TState::Distance: {
                uint32_t distance = (static_cast<uint32_t>(FMatchByte >> FDistanceShift) << 8) + c + 1;
                FWindow.StartCopy(distance, FLength + 3);
                FState = TState::Plain;
                break;
            }
            }
        }
    }

private:
    enum class TState { Plain, Escaped, LongLength, Distance };

    struct TFollowerSet {
        uint8_t count = 0;
        uint8_t indexBits = 0;
        std::array<uint8_t, MaxFollowers> chars{};
    };

    uint8_t NextChar() {
        const auto& set = FFollowers[FLast];
        if (set.count == 0 || FBits.Read(1) != 0) {
            FLast = static_cast<uint8_t>(FBits.Read(8));
        } else {
            unsigned index = FBits.Read(set.indexBits);
            if (index >= set.count)
                throw EAbZipDataError("Corrupt Reduce data: follower index out of range");
            FLast = set.chars[index];
        }
        return FLast;
    }

    TZipBitInput FBits;
    TZipSlidingWindow FWindow;
    uint8_t FLengthMask;
    unsigned FDistanceShift;
    std::array<TFollowerSet, 256> FFollowers{};
    uint8_t FLast = 0;
    TState FState = TState::Plain;
    uint8_t FMatchByte = 0;
    uint32_t FLength = 0;
};

} // namespace

std::unique_ptr<TZipDecoder> MakeReduceDecoder(TZipEntryInput& input, const TZipDecoderParams& params) {
    return std::make_unique<TReduceDecoder>(input, params);
}

} // namespace kalmora
