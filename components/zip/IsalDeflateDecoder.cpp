#include "DeflateDecoders.h"
#include "ZipErrors.h"

#include <isa-l/igzip_lib.h>

namespace kalmora {

namespace {

std::string_view IsalErrorText(int rc) {
    switch (rc) {
    case ISAL_INVALID_BLOCK:
        return "invalid block";
    case ISAL_INVALID_SYMBOL:
        return "invalid symbol";
    case ISAL_INVALID_LOOKBACK:
        return "distance too far back";
    default:
        return "decoder error";
    }
}

class TIsalDeflateDecoder : public TZipDecoder {
public:
    explicit TIsalDeflateDecoder(TZipEntryInput& input)
        : FInput(input), FState(std::make_unique<inflate_state>()) {
        isal_inflate_init(FState.get());
        FState->crc_flag = ISAL_DEFLATE; // raw Deflate; the reader computes the CRC of every method alike
    }

    size_t Decode(std::span<uint8_t> out) override {
        inflate_state& s = *FState;
        s.next_out = out.data();
        s.avail_out = static_cast<uint32_t>(std::min<size_t>(out.size(), UINT32_MAX));
        uint32_t room = s.avail_out;
        while (s.avail_out > 0 && s.block_state != ISAL_BLOCK_FINISH) {
            auto in = FInput.Peek();
            s.next_in = const_cast<uint8_t*>(in.data());
            s.avail_in = static_cast<uint32_t>(in.size());
            uint32_t roomBefore = s.avail_out;
            int rc = isal_inflate(&s);
            FInput.Consume(in.size() - s.avail_in);
            if (rc < 0)
                throw EAbZipDataError("Corrupt Deflate data: " + std::string(IsalErrorText(rc)));
            // The decoder keeps what it cannot decode yet in its own buffer, so an empty input that brings
            // no output is the end of the data, not a pause.
            if (in.empty() && s.avail_out == roomBefore && s.block_state != ISAL_BLOCK_FINISH)
                throw EAbZipDataError("Deflate data ends before the end of its stream");
        }
        return room - s.avail_out;
    }

private:
    TZipEntryInput& FInput;
    std::unique_ptr<inflate_state> FState;
};

} // namespace

std::unique_ptr<TZipDecoder> MakeIsalDeflateDecoder(TZipEntryInput& input) {
    return std::make_unique<TIsalDeflateDecoder>(input);
}

} // namespace kalmora
