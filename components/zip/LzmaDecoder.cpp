#include "ZipDecoder.h"
#include "ZipErrors.h"

#include <array>
#include <lzma.h>

namespace kalmora {

namespace {

// A dictionary larger than this is refused rather than allocated: no archive this system handles needs it,
// and a hostile header could otherwise ask for gigabytes.
constexpr uint32_t MaxDictionarySize = 256u << 20;
constexpr uint32_t MinDictionarySize = 4096;

std::string LzmaErrorText(lzma_ret rc) {
    switch (rc) {
    case LZMA_DATA_ERROR:
        return "Corrupt LZMA data";
    case LZMA_MEM_ERROR:
        return "Not enough memory for the LZMA decoder";
    case LZMA_OPTIONS_ERROR:
        return "Unsupported LZMA properties";
    case LZMA_BUF_ERROR:
        return "LZMA data ends before the end of its stream";
    default:
        return "LZMA decoder error " + std::to_string(static_cast<int>(rc));
    }
}

class TLzmaDecoder : public TZipDecoder {
public:
    TLzmaDecoder(TZipEntryInput& input, const TZipDecoderParams& params) : FInput(input) {
        // The entry's data starts with the LZMA SDK version (2 bytes), the size of the properties (2 bytes)
        // and the properties: lc/lp/pb in one byte and the dictionary size.
        std::array<uint8_t, 4> header{};
        FInput.ReadExact(header, "LZMA header");
        uint16_t propertiesSize = static_cast<uint16_t>(header[2] | header[3] << 8);
        if (propertiesSize != 5)
            throw EAbZipDataError("Unsupported LZMA properties size " + std::to_string(propertiesSize));
        std::array<uint8_t, 5> properties{};
        FInput.ReadExact(properties, "LZMA properties");

        unsigned d = properties[0];
        if (d >= 9 * 5 * 5)
            throw EAbZipDataError("Invalid LZMA properties");
        FOptions.lc = d % 9;
        d /= 9;
        FOptions.lp = d % 5;
        FOptions.pb = d / 5;
        uint32_t dictionary = static_cast<uint32_t>(properties[1] | properties[2] << 8 | properties[3] << 16 |
                                                    static_cast<uint32_t>(properties[4]) << 24);
        // No match can reach further back than the entry's own declared size, so a smaller window suffices.
        if (dictionary > params.uncompressedSize)
            dictionary =
                static_cast<uint32_t>(std::max<uint64_t>(params.uncompressedSize, MinDictionarySize));
        if (dictionary > MaxDictionarySize)
            throw EAbZipDataError("LZMA dictionary of " + std::to_string(dictionary) + " bytes is too large");
        FOptions.dict_size = std::max(dictionary, MinDictionarySize);
        // The size is known from the directory; the end marker (flag bit 1) may follow it or not.
        FOptions.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
        FOptions.ext_size_low = static_cast<uint32_t>(params.uncompressedSize);
        FOptions.ext_size_high = static_cast<uint32_t>(params.uncompressedSize >> 32);

        std::array<lzma_filter, 2> filters{{{LZMA_FILTER_LZMA1EXT, &FOptions}, {LZMA_VLI_UNKNOWN, nullptr}}};
        lzma_ret rc = lzma_raw_decoder(&FStream, filters.data());
        if (rc != LZMA_OK)
            throw EAbZipDataError(LzmaErrorText(rc));
    }
    ~TLzmaDecoder() override { lzma_end(&FStream); }
    TLzmaDecoder(const TLzmaDecoder&) = delete;
    TLzmaDecoder& operator=(const TLzmaDecoder&) = delete;

    size_t Decode(std::span<uint8_t> out) override {
        FStream.next_out = out.data();
        FStream.avail_out = out.size();
        while (FStream.avail_out > 0 && !FEnded) {
            auto in = FInput.Peek();
            FStream.next_in = in.data();
            FStream.avail_in = in.size();
            size_t roomBefore = FStream.avail_out;
            lzma_ret rc = lzma_code(&FStream, in.empty() ? LZMA_FINISH : LZMA_RUN);
            FInput.Consume(in.size() - FStream.avail_in);
            if (rc == LZMA_STREAM_END)
                FEnded = true;
            else if (rc != LZMA_OK)
                throw EAbZipDataError(LzmaErrorText(rc));
            else if (in.empty() && FStream.avail_out == roomBefore)
                throw EAbZipDataError(LzmaErrorText(LZMA_BUF_ERROR));
        }
        return out.size() - FStream.avail_out;
    }

private:
    TZipEntryInput& FInput;
    lzma_options_lzma FOptions{};
    lzma_stream FStream = LZMA_STREAM_INIT;
    bool FEnded = false;
};

} // namespace

std::unique_ptr<TZipDecoder> MakeLzmaDecoder(TZipEntryInput& input, const TZipDecoderParams& params) {
    return std::make_unique<TLzmaDecoder>(input, params);
}

} // namespace kalmora
