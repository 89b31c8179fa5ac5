#include "ZipDecoder.h"
#include "ZipErrors.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>
#include <wavpack/wavpack.h>

namespace kalmora {

namespace {

constexpr uint32_t FramesPerRound = 4096;

struct TWavpackCloser {
    void operator()(WavpackContext* context) const { WavpackCloseFile(context); }
};

// Method 97: the entry holds a WavPack stream of a .wav file whose RIFF header (and any chunks after the
// samples) travel inside the blocks as wrapper data. Decoding gives back the original file: the header,
// the samples in their original format, then the trailer.
class TWavPackDecoder : public TZipDecoder {
public:
    TWavPackDecoder(TZipEntryInput& input, uint64_t compressedSize)
        : FInput(input), FCompressedSize(compressedSize) {
        char error[80] = {};
        FContext.reset(
            WavpackOpenFileInputEx(&Reader, this, nullptr, error, OPEN_WRAPPER | OPEN_ALT_TYPES, 0));
        RethrowReaderError();
        if (!FContext)
            throw EAbZipDataError(std::string("Corrupt WavPack data: ") + error);
        WavpackContext* wpc = FContext.get();
        int qualify = WavpackGetQualifyMode(wpc);
        if (qualify & QMODE_DSD_AUDIO)
            throw EAbZipDataError("WavPack entry holds DSD audio, which has no WAV form to restore");
        FChannels = static_cast<unsigned>(WavpackGetNumChannels(wpc));
        FBytesPerSample = static_cast<unsigned>(WavpackGetBytesPerSample(wpc));
        if (FChannels == 0 || FBytesPerSample == 0 || FBytesPerSample > 4)
            throw EAbZipDataError("Corrupt WavPack data: unusable sample format");
        FBigEndian = qualify & QMODE_BIG_ENDIAN;
        FSignedBytes = qualify & QMODE_SIGNED_BYTES;
        FUnsignedWords = qualify & QMODE_UNSIGNED_WORDS;
        FSamplesLeft = WavpackGetNumSamples64(wpc);
        TakeWrapper();
        FSamples.resize(size_t{FramesPerRound} * FChannels);
    }

    size_t Decode(std::span<uint8_t> out) override {
        size_t done = 0;
        while (done < out.size()) {
            if (FPendingPos < FPending.size()) {
                size_t n = std::min(FPending.size() - FPendingPos, out.size() - done);
                std::memcpy(out.data() + done, FPending.data() + FPendingPos, n);
                FPendingPos += n;
                done += n;
                continue;
            }
            if (FEnded)
                break;
            FPending.clear();
            FPendingPos = 0;
            UnpackRound();
        }
        return done;
    }

private:
    void UnpackRound() {
        WavpackContext* wpc = FContext.get();
        uint32_t frames = WavpackUnpackSamples(wpc, FSamples.data(), FramesPerRound);
        RethrowReaderError();
        if (WavpackGetNumErrors(wpc) > 0)
            throw EAbZipDataError("Corrupt WavPack data: a block fails its checksum");
        if (frames == 0) {
            if (FSamplesLeft > 0)
                throw EAbZipDataError("WavPack data ends before its last sample");
            // The chunks after the samples arrive with the last block.
            TakeWrapper();
            FEnded = true;
            return;
        }
        if (FSamplesLeft >= 0)
            FSamplesLeft -= std::min<int64_t>(FSamplesLeft, frames);
        size_t count = size_t{frames} * FChannels;
        FPending.resize(count * FBytesPerSample);
        uint8_t* p = FPending.data();
        uint32_t flip = FUnsignedWords ? 1u << (FBytesPerSample * 8 - 1) : 0;
        for (size_t i = 0; i < count; ++i) {
            uint32_t v = static_cast<uint32_t>(FSamples[i]);
            if (FBytesPerSample == 1) {
                // WAV keeps 8-bit samples unsigned, offset by 0x80.
                *p++ = static_cast<uint8_t>(FSignedBytes ? v : v + 0x80);
                continue;
            }
            v ^= flip;
            for (unsigned b = 0; b < FBytesPerSample; ++b) {
                unsigned shift = FBigEndian ? (FBytesPerSample - 1 - b) * 8 : b * 8;
                *p++ = static_cast<uint8_t>(v >> shift);
            }
        }
    }

    void TakeWrapper() {
        WavpackContext* wpc = FContext.get();
        uint32_t size = WavpackGetWrapperBytes(wpc);
        if (size > 0) {
            const uint8_t* data = WavpackGetWrapperData(wpc);
            FPending.insert(FPending.end(), data, data + size);
            WavpackFreeWrapper(wpc);
        }
    }

    void RethrowReaderError() {
        if (FReaderError)
            std::rethrow_exception(std::exchange(FReaderError, nullptr));
    }

    int32_t ReadBytes(uint8_t* data, int32_t wanted) {
        int32_t done = 0;
        if (wanted > 0 && FPushedBack >= 0) {
            data[done++] = static_cast<uint8_t>(FPushedBack);
            FPushedBack = -1;
        }
        // The library sees a read error as the end of the stream; the error itself is raised once the
        // library call returns, since no exception may cross it.
        try {
            while (done < wanted) {
                auto in = FInput.Peek();
                if (in.empty())
                    break;
                size_t n = std::min(in.size(), static_cast<size_t>(wanted - done));
                std::memcpy(data + done, in.data(), n);
                FInput.Consume(n);
                done += static_cast<int32_t>(n);
            }
        } catch (...) {
            FReaderError = std::current_exception();
        }
        FPosition += static_cast<uint64_t>(done);
        return done;
    }

    static TWavPackDecoder* Self(void* id) { return static_cast<TWavPackDecoder*>(id); }

    static WavpackStreamReader Reader;

    TZipEntryInput& FInput;
    uint64_t FCompressedSize;
    std::unique_ptr<WavpackContext, TWavpackCloser> FContext;
    std::exception_ptr FReaderError;
    uint64_t FPosition = 0;
    int FPushedBack = -1;
    unsigned FChannels = 0;
    unsigned FBytesPerSample = 0;
    bool FBigEndian = false;
    bool FSignedBytes = false;
    bool FUnsignedWords = false;
    int64_t FSamplesLeft = -1; // -1: the stream does not say
    bool FEnded = false;
    std::vector<int32_t> FSamples;
    std::vector<uint8_t> FPending;
    size_t FPendingPos = 0;
};

WavpackStreamReader TWavPackDecoder::Reader{
    [](void* id, void* data, int32_t count) {
        return Self(id)->ReadBytes(static_cast<uint8_t*>(data), count);
    },
    [](void* id) { return static_cast<uint32_t>(Self(id)->FPosition); },
    [](void*, uint32_t) { return -1; }, // the entry is read once, front to back
    [](void*, int32_t, int) { return -1; },
    [](void* id, int c) {
        Self(id)->FPushedBack = c;
        --Self(id)->FPosition;
        return c;
    },
    [](void* id) {
        uint64_t size = Self(id)->FCompressedSize;
        return size > UINT32_MAX ? uint32_t{0} : static_cast<uint32_t>(size);
    },
    [](void*) { return 0; },
    [](void*, void*, int32_t) { return int32_t{0}; },
};

} // namespace

std::unique_ptr<TZipDecoder> MakeWavPackDecoder(TZipEntryInput& input, const TZipDecoderParams& params) {
    return std::make_unique<TWavPackDecoder>(input, params.compressedSize);
}

} // namespace kalmora
