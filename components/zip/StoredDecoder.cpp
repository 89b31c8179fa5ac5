#include "ZipDecoder.h"

#include <algorithm>
#include <cstring>

namespace kalmora {

namespace {

class TStoredDecoder : public TZipDecoder {
public:
    explicit TStoredDecoder(TZipEntryInput& input) : FInput(input) {}

    size_t Decode(std::span<uint8_t> out) override {
        size_t done = 0;
        while (done < out.size()) {
            auto in = FInput.Peek();
            if (in.empty())
                break;
            size_t n = std::min(in.size(), out.size() - done);
            std::memcpy(out.data() + done, in.data(), n);
            FInput.Consume(n);
            done += n;
        }
        return done;
    }

private:
    TZipEntryInput& FInput;
};

} // namespace

std::unique_ptr<TZipDecoder> MakeStoredDecoder(TZipEntryInput& input, const TZipDecoderParams&) {
    return std::make_unique<TStoredDecoder>(input);
}

} // namespace kalmora
