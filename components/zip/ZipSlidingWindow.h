#pragma once

// The output history of the legacy LZ methods (reduce, implode): 8 KiB, with zeros before the first byte,
// which is what their encoders assumed when a match reached back past the start. A match that does not
// fit the caller's buffer is resumed by the next call.

#include <array>
#include <cstdint>
#include <span>

namespace kalmora {

class TZipSlidingWindow {
public:
    static constexpr uint32_t Size = 8192;

    explicit TZipSlidingWindow(uint64_t declaredSize) : FLeft(declaredSize) {}

    uint64_t Left() const { return FLeft; }
    bool Copying() const { return FCopyLeft > 0; }

    void Put(uint8_t byte, std::span<uint8_t> out, size_t& done) {
        FWindow[FPos++ & (Size - 1)] = byte;
        out[done++] = byte;
        --FLeft;
    }
    // Starts a copy of length bytes from distance (1..Size) back.
    void StartCopy(uint32_t distance, uint32_t length) {
        FCopyDistance = distance;
        FCopyLeft = length;
    }
    // Continues the current copy as far as out and the declared size allow.
    void Copy(std::span<uint8_t> out, size_t& done) {
        while (FCopyLeft > 0 && done < out.size() && FLeft > 0) {
            uint8_t byte = FWindow[(FPos - FCopyDistance) & (Size - 1)];
            FWindow[FPos++ & (Size - 1)] = byte;
            out[done++] = byte;
            --FLeft;
            --FCopyLeft;
        }
        if (FLeft == 0)
            FCopyLeft = 0;
    }
    // The step each decoding round starts with: continues the current copy, then tells whether the round
    // is over because out is full or the declared size is reached.
    bool CopyUntilFull(std::span<uint8_t> out, size_t& done) {
        Copy(out, done);
        return done == out.size() || FLeft == 0;
    }

private:
    std::array<uint8_t, Size> FWindow{};
    uint32_t FPos = 0;
    uint32_t FCopyDistance = 0;
    uint32_t FCopyLeft = 0;
    uint64_t FLeft;
};

} // namespace kalmora
