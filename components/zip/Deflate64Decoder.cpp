#include "Deflate64Decoder.h"

#include "ZipErrors.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace kalmora {

namespace {

using namespace huffman;

constexpr size_t History = 64 * 1024;   // the Deflate64 window; plain Deflate needs half of it
constexpr size_t FillArea = 192 * 1024; // decoded per round before the window slides
constexpr size_t MaxMatch = 3 + 0xFFFF; // Deflate64's longest match
constexpr size_t CopySlack = 16;        // match copies move whole words and may write past their end
constexpr size_t FillLimit = History + FillArea;
constexpr unsigned LiteralTableBits = 10;
constexpr unsigned DistanceTableBits = 8;
constexpr unsigned CodeLengthTableBits = 7;
constexpr size_t LiteralSymbols = 288;
constexpr size_t DistanceSymbols = 32;

struct TSymbolEntries {
    std::array<uint32_t, LiteralSymbols> literals{};
    std::array<uint32_t, DistanceSymbols> distances{};
};

// What each symbol of the two alphabets means (RFC 1951, 3.2.5), with APPNOTE's Deflate64 changes.
TSymbolEntries MakeSymbolEntries(TDeflateVariant variant) {
    TSymbolEntries t;
    for (uint32_t s = 0; s < 256; ++s)
        t.literals[s] = Entry(Literal, s);
    t.literals[256] = Entry(EndOfBlock, 0);
    for (uint32_t i = 0; i < 28; ++i) {
        uint32_t extra = i < 8 ? 0 : (i - 4) / 4;
        uint32_t base = i < 8 ? 3 + i : ((4 + (i & 3)) << extra) + 3;
        t.literals[257 + i] = Entry(0, base, extra);
    }
    t.literals[285] = variant == TDeflateVariant::Deflate64 ? Entry(0, 3, 16) : Entry(0, 258);
    t.literals[286] = t.literals[287] = Invalid;
    for (uint32_t c = 0; c < DistanceSymbols; ++c) {
        uint32_t extra = c < 4 ? 0 : c / 2 - 1;
        uint32_t base = c < 4 ? c + 1 : ((2 + (c & 1)) << extra) + 1;
        t.distances[c] = Entry(0, base, extra);
    }
    if (variant == TDeflateVariant::Deflate)
        t.distances[30] = t.distances[31] = Invalid;
    return t;
}

const TSymbolEntries& SymbolEntries(TDeflateVariant variant) {
    static const TSymbolEntries deflate = MakeSymbolEntries(TDeflateVariant::Deflate);
    static const TSymbolEntries deflate64 = MakeSymbolEntries(TDeflateVariant::Deflate64);
    return variant == TDeflateVariant::Deflate64 ? deflate64 : deflate;
}

inline uint64_t LoadLittleEndian64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

} // namespace

TInflateDecoder::TInflateDecoder(TZipEntryInput& input, TDeflateVariant variant)
    : FInput(input), FVariant(variant), FWindow(FillLimit + MaxMatch + CopySlack) {}

size_t TInflateDecoder::Decode(std::span<uint8_t> out) {
    size_t done = 0;
    while (done < out.size()) {
        if (FOut == FPos) {
            if (FState == TState::End)
                break;
            if (FPos >= FillLimit)
                Slide();
            Fill();
            continue;
        }
        size_t n = std::min(FPos - FOut, out.size() - done);
        std::memcpy(out.data() + done, FWindow.data() + FOut, n);
        FOut += n;
        done += n;
    }
    return done;
}

void TInflateDecoder::Slide() {
    std::memmove(FWindow.data(), FWindow.data() + FPos - History, History);
    FPos = FOut = History;
}

void TInflateDecoder::Fill() {
    while (FPos < FillLimit) {
        switch (FState) {
        case TState::BlockHeader:
            if (FLastBlock) {
                FState = TState::End;
                return;
            }
            ReadBlockHeader();
            break;
        case TState::Stored:
            CopyStored();
            break;
        case TState::Compressed:
            if (DecodeCompressed())
                FState = TState::BlockHeader;
            break;
        case TState::End:
            return;
        }
    }
}

bool TInflateDecoder::NextSpan() {
    FInput.Consume(static_cast<size_t>(FInEnd - FSpanStart));
    auto span = FInput.Peek();
    FSpanStart = FIn = span.data();
    FInEnd = span.data() + span.size();
    return !span.empty();
}

void TInflateDecoder::SlowRefill() {
    while (FCount < 56) {
        if (FIn == FInEnd && !(FPadBits == 0 && NextSpan())) {
            // Past the end of the data: zeros, counted, so that using them is caught.
            FPadBits += 8;
            FCount += 8;
            continue;
        }
        FBits |= uint64_t{*FIn++} << FCount;
        FCount += 8;
    }
}

void TInflateDecoder::CheckNotPastEnd() const {
    if (FCount < FPadBits)
        throw EAbZipDataError("Deflate data ends before the end of its stream");
}

unsigned TInflateDecoder::TakeBits(unsigned count) {
    if (FCount < count)
        SlowRefill();
    unsigned value = static_cast<unsigned>(FBits & ((uint64_t{1} << count) - 1));
    FBits >>= count;
    FCount -= count;
    CheckNotPastEnd();
    return value;
}

void TInflateDecoder::ReadBlockHeader() {
    FLastBlock = TakeBits(1) != 0;
    switch (TakeBits(2)) {
    case 0: {
        // A stored block starts at the next byte boundary of the stream.
        TakeBits(FCount % 8);
        unsigned length = TakeBits(16);
        unsigned complement = TakeBits(16);
        if ((length ^ complement) != 0xFFFF)
            throw EAbZipDataError("Corrupt Deflate data: stored block length does not match its complement");
        FStoredLeft = length;
        FState = TState::Stored;
        break;
    }
    case 1:
        UseFixedTables();
        FState = TState::Compressed;
        break;
    case 2:
        ReadDynamicTables();
        FState = TState::Compressed;
        break;
    default:
        throw EAbZipDataError("Corrupt Deflate data: invalid block type");
    }
}

void TInflateDecoder::UseFixedTables() {
    std::array<uint8_t, LiteralSymbols> literal{};
    std::fill(literal.begin(), literal.begin() + 144, 8);
    std::fill(literal.begin() + 144, literal.begin() + 256, 9);
    std::fill(literal.begin() + 256, literal.begin() + 280, 7);
    std::fill(literal.begin() + 280, literal.end(), 8);
    std::array<uint8_t, DistanceSymbols> distance{};
    distance.fill(5);
    const auto& entries = SymbolEntries(FVariant);
    FLiterals.Build(literal, entries.literals, LiteralTableBits);
    FDistances.Build(distance, entries.distances, DistanceTableBits);
}

void TInflateDecoder::ReadDynamicTables() {
    unsigned literalCount = TakeBits(5) + 257;
    unsigned distanceCount = TakeBits(5) + 1;
    unsigned codeLengthCount = TakeBits(4) + 4;
    static constexpr std::array<uint8_t, 19> Order{16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                   11, 4,  12, 3, 13, 2, 14, 1, 15};
    static const auto CodeLengthEntries = [] {
        std::array<uint32_t, 19> e{};
        for (uint32_t s = 0; s < e.size(); ++s)
            e[s] = Entry(0, s);
        return e;
    }();
    std::array<uint8_t, 19> codeLengthLengths{};
    for (unsigned i = 0; i < codeLengthCount; ++i)
        codeLengthLengths[Order[i]] = static_cast<uint8_t>(TakeBits(3));
    if (!FCodeLengths.Build(codeLengthLengths, CodeLengthEntries, CodeLengthTableBits))
        throw EAbZipDataError("Corrupt Deflate data: too many code-length codes");

    std::array<uint8_t, LiteralSymbols + DistanceSymbols> lengths{};
    unsigned total = literalCount + distanceCount;
    for (unsigned i = 0; i < total;) {
        if (FCount < 16)
            SlowRefill();
        uint32_t entry = FCodeLengths.Lookup(FBits);
        if (entry & Invalid)
            throw EAbZipDataError("Corrupt Deflate data: invalid code-length code");
        FBits >>= CodeLength(entry);
        FCount -= CodeLength(entry);
        unsigned symbol = Value(entry);
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            continue;
        }
        unsigned repeat;
        uint8_t value = 0;
        if (symbol == 16) {
            if (i == 0)
                throw EAbZipDataError("Corrupt Deflate data: length repeat without a previous length");
            value = lengths[i - 1];
            repeat = 3 + TakeBits(2);
        } else if (symbol == 17) {
            repeat = 3 + TakeBits(3);
        } else {
            repeat = 11 + TakeBits(7);
        }
        if (i + repeat > total)
            throw EAbZipDataError("Corrupt Deflate data: code lengths run past their count");
        std::fill_n(lengths.begin() + i, repeat, value);
        i += repeat;
    }
    CheckNotPastEnd();
    if (lengths[256] == 0)
        throw EAbZipDataError("Corrupt Deflate data: no code for the end of the block");
    const auto& entries = SymbolEntries(FVariant);
    if (!FLiterals.Build(std::span(lengths).first(literalCount),
                         std::span(entries.literals).first(literalCount), LiteralTableBits) ||
        !FDistances.Build(std::span(lengths).subspan(literalCount, distanceCount),
                          std::span(entries.distances).first(distanceCount), DistanceTableBits))
        throw EAbZipDataError("Corrupt Deflate data: too many codes of one length");
}

void TInflateDecoder::CopyStored() {
    // First the whole bytes still in the bit buffer, then straight from the input.
    while (FStoredLeft > 0 && FCount >= 8 && FPos < FillLimit) {
        FWindow[FPos++] = static_cast<uint8_t>(FBits);
        FBits >>= 8;
        FCount -= 8;
        --FStoredLeft;
        CheckNotPastEnd();
    }
    if (FCount == 0)
        FBits = 0; // bits above the count were read ahead from the input, which is now copied directly
    while (FStoredLeft > 0 && FPos < FillLimit) {
        if (FIn == FInEnd && (FPadBits > 0 || !NextSpan()))
            throw EAbZipDataError("Deflate data ends inside a stored block");
        size_t n = std::min({static_cast<size_t>(FInEnd - FIn), size_t{FStoredLeft}, FillLimit - FPos});
        std::memcpy(FWindow.data() + FPos, FIn, n);
        FIn += n;
        FPos += n;
        FStoredLeft -= static_cast<uint32_t>(n);
    }
    if (FStoredLeft == 0)
        FState = TState::BlockHeader;
}

// The hot loop: symbols until the block ends or the fill area is full. Returns true at the end of the block.
bool TInflateDecoder::DecodeCompressed() {
    uint8_t* const window = FWindow.data();
    size_t pos = FPos;
    uint64_t bits = FBits;
    unsigned count = FCount;
    const uint8_t* in = FIn;

    // Refills to at least 56 bits: eight bytes at a time while the block of input has them, else byte by
    // byte through the member function (which may fetch the next block or pad beyond the end).
    auto refill = [&] {
        if (FInEnd - in >= 8) {
            bits |= LoadLittleEndian64(in) << count;
            in += (63 - count) >> 3;
            count |= 56;
        } else {
            FBits = bits, FCount = count, FIn = in, FPos = pos;
            // Literals decoded from the zeros beyond the end stop here, not after a whole fill area.
            CheckNotPastEnd();
            SlowRefill();
            bits = FBits, count = FCount, in = FIn;
        }
    };
    auto save = [&] { FPos = pos, FBits = bits, FCount = count, FIn = in; };

    while (pos < FillLimit) {
        refill();
        uint32_t entry = FLiterals.Lookup(bits);
        if (entry & Literal) {
            bits >>= CodeLength(entry);
            count -= CodeLength(entry);
            window[pos++] = static_cast<uint8_t>(Value(entry));
            // With 56 bits in hand a second literal (at most 15 bits) needs no refill.
            entry = FLiterals.Lookup(bits);
            if (entry & Literal) {
                bits >>= CodeLength(entry);
                count -= CodeLength(entry);
                window[pos++] = static_cast<uint8_t>(Value(entry));
                continue;
            }
        }
        if (entry & (EndOfBlock | Invalid)) {
            if (entry & Invalid) {
                save();
                throw EAbZipDataError("Corrupt Deflate data: invalid literal/length code");
            }
            bits >>= CodeLength(entry);
            count -= CodeLength(entry);
            save();
            CheckNotPastEnd();
            return true;
        }
        if (count < 32)
            refill();
        bits >>= CodeLength(entry);
        count -= CodeLength(entry);
        unsigned extra = ExtraBits(entry);
        size_t length = Value(entry) + static_cast<size_t>(bits & ((uint64_t{1} << extra) - 1));
        bits >>= extra;
        count -= extra;

        if (count < 32)
            refill();
        uint32_t d = FDistances.Lookup(bits);
        if (d & Invalid) {
            save();
            throw EAbZipDataError("Corrupt Deflate data: invalid distance code");
        }
        bits >>= CodeLength(d);
        count -= CodeLength(d);
        extra = ExtraBits(d);
        size_t distance = Value(d) + static_cast<size_t>(bits & ((uint64_t{1} << extra) - 1));
        bits >>= extra;
        count -= extra;
        if (count < FPadBits) {
            save();
            CheckNotPastEnd();
        }
        if (distance > pos) {
            save();
            throw EAbZipDataError("Corrupt Deflate data: distance reaches before the start of the data");
        }

        uint8_t* dst = window + pos;
        const uint8_t* src = dst - distance;
        pos += length;
        if (distance >= 8) {
            uint8_t* end = dst + length;
            do {
                std::memcpy(dst, src, 8);
                dst += 8;
                src += 8;
            } while (dst < end);
        } else if (distance == 1) {
            std::memset(dst, *src, length);
        } else {
            for (size_t i = 0; i < length; ++i)
                dst[i] = src[i];
        }
    }
    save();
    CheckNotPastEnd();
    return false;
}

std::unique_ptr<TZipDecoder> MakeDeflate64Decoder(TZipEntryInput& input, const TZipDecoderParams&) {
    return std::make_unique<TInflateDecoder>(input, TDeflateVariant::Deflate64);
}

} // namespace kalmora
