#include "ZipDecoder.h"
#include "ZipErrors.h"

#include <bzlib.h>

namespace kalmora {

namespace {

std::string Bzip2ErrorText(int rc) {
    switch (rc) {
    case BZ_DATA_ERROR:
        return "Corrupt BZIP2 data";
    case BZ_DATA_ERROR_MAGIC:
        return "Corrupt BZIP2 data: no BZIP2 stream signature";
    case BZ_MEM_ERROR:
        return "Not enough memory for the BZIP2 decoder";
    default:
        return "BZIP2 decoder error " + std::to_string(rc);
    }
}

class TBzip2Decoder : public TZipDecoder {
public:
    explicit TBzip2Decoder(TZipEntryInput& input) : FInput(input) {
        int rc = BZ2_bzDecompressInit(&FStream, 0, 0);
        if (rc != BZ_OK)
            throw EAbZipDataError(Bzip2ErrorText(rc));
    }
    ~TBzip2Decoder() override { BZ2_bzDecompressEnd(&FStream); }
    TBzip2Decoder(const TBzip2Decoder&) = delete;
    TBzip2Decoder& operator=(const TBzip2Decoder&) = delete;

    size_t Decode(std::span<uint8_t> out) override {
        FStream.next_out = reinterpret_cast<char*>(out.data());
        FStream.avail_out = static_cast<unsigned>(out.size());
        while (FStream.avail_out > 0 && !FEnded) {
            auto in = FInput.Peek();
            FStream.next_in = const_cast<char*>(reinterpret_cast<const char*>(in.data()));
            FStream.avail_in = static_cast<unsigned>(in.size());
            unsigned roomBefore = FStream.avail_out;
            int rc = BZ2_bzDecompress(&FStream);
            FInput.Consume(in.size() - FStream.avail_in);
            if (rc == BZ_STREAM_END)
                FEnded = true;
            else if (rc != BZ_OK)
                throw EAbZipDataError(Bzip2ErrorText(rc));
            else if (in.empty() && FStream.avail_out == roomBefore)
                throw EAbZipDataError("BZIP2 data ends before the end of its stream");
        }
        return out.size() - FStream.avail_out;
    }

private:
    TZipEntryInput& FInput;
    bz_stream FStream{};
    bool FEnded = false;
};

} // namespace

std::unique_ptr<TZipDecoder> MakeBzip2Decoder(TZipEntryInput& input, const TZipDecoderParams&) {
    return std::make_unique<TBzip2Decoder>(input);
}

} // namespace kalmora
