#pragma once

// Our own inflater, written from RFC 1951 and APPNOTE's description of Deflate64: a 64 KiB window, length
// code 285 standing for 3 plus 16 extra bits, and distance codes 30 and 31. Method 9 uses it. It also
// decodes plain Deflate, which lets the tests check it against zlib on any data.

#include "HuffmanTable.h"
#include "zip/ZipDecoder.h"

#include <vector>

namespace kalmora {

enum class TDeflateVariant { Deflate, Deflate64 };

class TInflateDecoder : public TZipDecoder {
public:
    TInflateDecoder(TZipEntryInput& input, TDeflateVariant variant);
    size_t Decode(std::span<uint8_t> out) override;

private:
    enum class TState { BlockHeader, Stored, Compressed, End };

    void Fill();
    void ReadBlockHeader();
    void ReadDynamicTables();
    void UseFixedTables();
    void CopyStored();
    bool DecodeCompressed();

    bool NextSpan();
    void SlowRefill();
    unsigned TakeBits(unsigned count);
    void CheckNotPastEnd() const;
    void Slide();

    TZipEntryInput& FInput;
    TDeflateVariant FVariant;
    std::vector<uint8_t> FWindow; // history, then freshly decoded bytes
    size_t FPos = 0;              // end of the decoded bytes in FWindow
    size_t FOut = 0;              // decoded bytes before this index are handed out
    TState FState = TState::BlockHeader;
    bool FLastBlock = false;
    uint32_t FStoredLeft = 0;

    // Bit reader: the unread bits of the stream, lowest first; FPadBits zero bits at the top stand for
    // input beyond the end of the data and must never be consumed.
    uint64_t FBits = 0;
    unsigned FCount = 0;
    unsigned FPadBits = 0;
    const uint8_t* FSpanStart = nullptr;
    const uint8_t* FIn = nullptr;
    const uint8_t* FInEnd = nullptr;

    THuffmanTable FLiterals;
    THuffmanTable FDistances;
    THuffmanTable FCodeLengths;
};

} // namespace kalmora
