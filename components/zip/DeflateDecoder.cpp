#include "DeflateDecoders.h"
#include "ZipErrors.h"

#include <cstdlib>
#include <string_view>
#include <zlib.h>

namespace kalmora {

namespace {

class TZlibDeflateDecoder : public TZipDecoder {
public:
    explicit TZlibDeflateDecoder(TZipEntryInput& input) : FInput(input) {
        // Negative window bits: raw Deflate, without the zlib header and trailer.
        if (inflateInit2(&FStream, -MAX_WBITS) != Z_OK)
            throw EAbZipDataError("Cannot start the Deflate decoder");
    }
    ~TZlibDeflateDecoder() override { inflateEnd(&FStream); }
    TZlibDeflateDecoder(const TZlibDeflateDecoder&) = delete;
    TZlibDeflateDecoder& operator=(const TZlibDeflateDecoder&) = delete;

    size_t Decode(std::span<uint8_t> out) override {
        FStream.next_out = out.data();
        FStream.avail_out = static_cast<uInt>(out.size());
        while (FStream.avail_out > 0 && !FEnded) {
            auto in = FInput.Peek();
            FStream.next_in = const_cast<Bytef*>(in.data());
            FStream.avail_in = static_cast<uInt>(in.size());
            uInt roomBefore = FStream.avail_out;
            int rc = inflate(&FStream, Z_NO_FLUSH);
            FInput.Consume(in.size() - FStream.avail_in);
            if (rc == Z_STREAM_END) {
                FEnded = true;
            } else if (rc == Z_OK || rc == Z_BUF_ERROR) {
                if (in.empty() && FStream.avail_out == roomBefore)
                    throw EAbZipDataError("Deflate data ends before the end of its stream");
            } else {
                throw EAbZipDataError(std::string("Corrupt Deflate data: ") +
                                      (FStream.msg ? FStream.msg : "decoder error " + std::to_string(rc)));
            }
        }
        return out.size() - FStream.avail_out;
    }

private:
    TZipEntryInput& FInput;
    z_stream FStream{};
    bool FEnded = false;
};

} // namespace

bool InflaterBuilt(TInflater inflater) {
#ifdef KALMORA_WITH_ISAL
    (void)inflater;
    return true;
#else
    return inflater == TInflater::Zlib;
#endif
}

TInflater SelectedInflater() {
    // Read per entry rather than once, so that a test can switch between the two within one process.
    const char* choice = std::getenv("KALMORA_INFLATE");
    if ((choice && std::string_view(choice) == "zlib") || !InflaterBuilt(TInflater::Isal))
        return TInflater::Zlib;
    return TInflater::Isal;
}

std::unique_ptr<TZipDecoder> MakeZlibDeflateDecoder(TZipEntryInput& input) {
    return std::make_unique<TZlibDeflateDecoder>(input);
}

#ifndef KALMORA_WITH_ISAL
std::unique_ptr<TZipDecoder> MakeIsalDeflateDecoder(TZipEntryInput&) {
    throw EAbZipInvalidMethod();
}
#endif

std::unique_ptr<TZipDecoder> MakeDeflateDecoder(TZipEntryInput& input, const TZipDecoderParams&) {
    return SelectedInflater() == TInflater::Isal ? MakeIsalDeflateDecoder(input)
                                                 : MakeZlibDeflateDecoder(input);
}

} // namespace kalmora
