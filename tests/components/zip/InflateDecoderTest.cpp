// The three inflaters (ISA-L, zlib, our own) on the same streams: identical output for every kind of
// block zlib writes, read through input blocks and output spans of awkward sizes; corrupt and truncated
// streams fail with the reader's data error. Then what only our inflater does: Deflate64's long lengths,
// far distances and 64 KiB window, from hand-assembled streams.

#include "ZipTestBuilder.h"
#include "zip/Deflate64Decoder.h"
#include "zip/DeflateDecoders.h"
#include "zip/ZipErrors.h"
#include "zip/ZipSource.h"

#include <functional>
#include <gtest/gtest.h>
#include <zlib.h>

namespace kalmora::test {
namespace {

using TFactory = std::function<std::unique_ptr<TZipDecoder>(TZipEntryInput&)>;

struct TInflaterCase {
    std::string name;
    TFactory make;
};

std::vector<TInflaterCase> Inflaters() {
    std::vector<TInflaterCase> cases;
    if (InflaterBuilt(TInflater::Isal))
        cases.push_back({"isal", MakeIsalDeflateDecoder});
    cases.push_back({"zlib", MakeZlibDeflateDecoder});
    cases.push_back({"own", [](TZipEntryInput& in) -> std::unique_ptr<TZipDecoder> {
                         return std::make_unique<TInflateDecoder>(in, TDeflateVariant::Deflate);
                     }});
    return cases;
}

std::string Text(size_t size) {
    std::string s;
    for (size_t i = 0; s.size() < size; ++i)
        s += "Geraet " + std::to_string(i * 7919 % 100003) + ";Partner " + std::to_string(i % 97) + "\n";
    s.resize(size);
    return s;
}

// Short periods (distances 2 to 7) and long runs (distance 1), which take their own copy paths.
std::string Periodic(size_t size) {
    std::string s;
    for (size_t period = 1; s.size() < size; period = period % 7 + 1)
        for (size_t i = 0; i < 3000; ++i)
            s += static_cast<char>('a' + i % period);
    s.resize(size);
    return s;
}

// Decodes compressed through input blocks of blockSize bytes into spans of readSize bytes.
std::string Inflate(const TFactory& make, const std::string& compressed, size_t blockSize, size_t readSize) {
    TZipMemorySource source(
        std::span(reinterpret_cast<const uint8_t*>(compressed.data()), compressed.size()));
    TZipEntryInput input(source, blockSize);
    input.Reset(0, compressed.size(), blockSize);
    auto decoder = make(input);
    std::string out;
    std::vector<uint8_t> buffer(readSize);
    while (size_t n = decoder->Decode(buffer)) {
        out.append(reinterpret_cast<const char*>(buffer.data()), n);
        if (out.size() > (64u << 20))
            throw std::runtime_error("runaway output");
    }
    return out;
}

class InflaterTest : public ::testing::TestWithParam<TInflaterCase> {};

TEST_P(InflaterTest, DecodesEveryBlockKindZlibWrites) {
    struct TData {
        std::string label;
        std::string bytes;
    };
    const std::vector<TData> data = {
        {"text", Text(700000)},
        {"noise", Noise(300000, 3)},
        {"periodic", Periodic(200000)},
        {"mixed", Text(50000) + Noise(70000, 9) + Text(50000) + std::string(90000, 'z')},
        {"one byte", "x"}};
    struct TMode {
        std::string label;
        int level;
        int strategy;
    };
    const std::vector<TMode> modes = {{"stored", 0, Z_DEFAULT_STRATEGY},
                                      {"fast", 1, Z_DEFAULT_STRATEGY},
                                      {"best", 9, Z_DEFAULT_STRATEGY},
                                      {"huffman", 6, Z_HUFFMAN_ONLY},
                                      {"rle", 6, Z_RLE},
                                      {"fixed", 6, Z_FIXED}};
    for (const auto& d : data)
        for (const auto& m : modes) {
            std::string compressed = RawDeflate(d.bytes, m.level, m.strategy);
            EXPECT_EQ(Inflate(GetParam().make, compressed, 997, 65521), d.bytes)
                << d.label << ", " << m.label;
        }
}

TEST_P(InflaterTest, ResumesAcrossTinyOutputSpansAndInputBlocks) {
    std::string data = Text(40000) + Noise(5000, 1) + Periodic(30000);
    for (int level : {0, 6}) {
        std::string compressed = RawDeflate(data, level, Z_DEFAULT_STRATEGY);
        EXPECT_EQ(Inflate(GetParam().make, compressed, 1, 1), data) << "level " << level;
        EXPECT_EQ(Inflate(GetParam().make, compressed, 7, 4093), data) << "level " << level;
    }
}

TEST_P(InflaterTest, TruncatedStreamFailsWithADataError) {
    for (int level : {0, 1, 9}) {
        std::string data = Text(30000) + Noise(3000, 5);
        std::string compressed = RawDeflate(data, level, Z_DEFAULT_STRATEGY);
        for (size_t cut = 0; cut < compressed.size(); cut += 1 + compressed.size() / 61) {
            EXPECT_THROW(Inflate(GetParam().make, compressed.substr(0, cut), 4096, 8192), EAbZipDataError)
                << "level " << level << ", cut at " << cut << " of " << compressed.size();
        }
    }
}

TEST_P(InflaterTest, GarbageEitherFailsOrEndsWithoutRunningAway) {
    std::string valid = RawDeflate(Text(20000), 6, Z_DEFAULT_STRATEGY);
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        std::string bytes = seed % 2 ? Noise(1 + seed * 7, seed) : valid;
        if (seed % 2 == 0)
            for (size_t i = 0; i < 4; ++i)
                bytes[(seed * 2654435761u + i * 40503u) % bytes.size()] ^=
                    static_cast<char>(1 << (i + seed % 4));
        try {
            Inflate(GetParam().make, bytes, 512, 4096);
        } catch (const EAbZipDataError&) {
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Deflate, InflaterTest, ::testing::ValuesIn(Inflaters()),
                         [](const auto& info) { return info.param.name; });

// Writes a Deflate stream bit by bit as RFC 1951 packs it: header fields and extra bits from the least
// significant bit, Huffman codes from the most significant.
class TBitWriter {
public:
    void Bits(uint32_t value, unsigned count) {
        for (unsigned i = 0; i < count; ++i)
            Bit((value >> i) & 1);
    }
    void Code(uint32_t code, unsigned length) {
        for (unsigned i = length; i-- > 0;)
            Bit((code >> i) & 1);
    }
    // A code of the fixed literal/length alphabet.
    void Fixed(unsigned symbol) {
        if (symbol < 144)
            Code(0x30 + symbol, 8);
        else if (symbol < 256)
            Code(0x190 + symbol - 144, 9);
        else if (symbol < 280)
            Code(symbol - 256, 7);
        else
            Code(0xC0 + symbol - 280, 8);
    }
    void Stored(const std::string& data, bool last) {
        Bits(last, 1);
        Bits(0, 2);
        while (FCount != 0)
            Bit(0);
        Bits(static_cast<uint32_t>(data.size()), 16);
        Bits(static_cast<uint32_t>(~data.size()) & 0xFFFF, 16);
        FBytes += data;
    }
    std::string Finish() {
        while (FCount != 0)
            Bit(0);
        return FBytes;
    }

private:
    void Bit(unsigned bit) {
        if (FCount == 0)
            FBytes.push_back(0);
        FBytes.back() = static_cast<char>(FBytes.back() | (bit << FCount));
        FCount = (FCount + 1) % 8;
    }
    std::string FBytes;
    unsigned FCount = 0;
};

void CopyMatch(std::string& out, size_t length, size_t distance) {
    for (size_t i = 0; i < length; ++i)
        out += out[out.size() - distance];
}

TFactory OwnInflater(TDeflateVariant variant) {
    return [variant](TZipEntryInput& in) -> std::unique_ptr<TZipDecoder> {
        return std::make_unique<TInflateDecoder>(in, variant);
    };
}

// 70 000 bytes of history in two stored blocks, then a fixed-code block with the matches only Deflate64
// has: length code 285 with 16 extra bits, distance codes 30 and 31 up to the full 64 KiB.
struct TDeflate64Vector {
    std::string stream;
    std::string expected;
};

TDeflate64Vector LongMatchVector() {
    TDeflate64Vector v;
    std::string history = Noise(70000, 77);
    TBitWriter w;
    w.Stored(history.substr(0, 40000), false);
    w.Stored(history.substr(40000), false);
    v.expected = history;
    w.Bits(1, 1);
    w.Bits(1, 2);
    w.Fixed('K');
    v.expected += 'K';
    w.Fixed(285); // length 3 + 60000
    w.Bits(60000, 16);
    w.Code(31, 5); // distance 49153 + 16383 = 65536, the whole window
    w.Bits(16383, 14);
    CopyMatch(v.expected, 60003, 65536);
    w.Fixed(285); // length 3 + 0
    w.Bits(0, 16);
    w.Code(30, 5); // distance 32769 + 5
    w.Bits(5, 14);
    CopyMatch(v.expected, 3, 32774);
    w.Fixed(284); // length 227 + 31 = 258, the longest of plain Deflate's code 284
    w.Bits(31, 5);
    w.Code(0, 5); // distance 1
    CopyMatch(v.expected, 258, 1);
    w.Fixed(256);
    v.stream = w.Finish();
    return v;
}

TEST(Deflate64Inflater, LongLengthsAndFarDistancesOfTheFullWindow) {
    auto v = LongMatchVector();
    EXPECT_EQ(Inflate(OwnInflater(TDeflateVariant::Deflate64), v.stream, 4096, 65536), v.expected);
    EXPECT_EQ(Inflate(OwnInflater(TDeflateVariant::Deflate64), v.stream, 3, 1000), v.expected);
}

TEST(Deflate64Inflater, PlainDeflateRefusesTheDistanceCodesDeflate64Adds) {
    std::string history = Noise(40000, 5);
    TBitWriter w;
    w.Stored(history, false);
    w.Bits(1, 1);
    w.Bits(1, 2);
    w.Fixed(257);  // length 3
    w.Code(30, 5); // distance 32769
    w.Bits(0, 14);
    w.Fixed(256);
    std::string stream = w.Finish();
    std::string expected = history;
    CopyMatch(expected, 3, 32769);
    EXPECT_EQ(Inflate(OwnInflater(TDeflateVariant::Deflate64), stream, 4096, 4096), expected);
    EXPECT_THROW(Inflate(OwnInflater(TDeflateVariant::Deflate), stream, 4096, 4096), EAbZipDataError);
}

TEST(Deflate64Inflater, DistanceBeforeTheStartOfTheDataFails) {
    TBitWriter w;
    w.Bits(1, 1);
    w.Bits(1, 2);
    w.Fixed('a');
    w.Fixed('b');
    w.Fixed(257); // length 3
    w.Code(2, 5); // distance 3: one byte more than there is
    w.Fixed(256);
    EXPECT_THROW(Inflate(OwnInflater(TDeflateVariant::Deflate64), w.Finish(), 4096, 4096), EAbZipDataError);
}

TEST(Deflate64Inflater, InvalidBlockTypeAndBadStoredLengthFail) {
    TBitWriter reserved;
    reserved.Bits(1, 1);
    reserved.Bits(3, 2);
    EXPECT_THROW(
        Inflate(OwnInflater(TDeflateVariant::Deflate64), reserved.Finish() + std::string(8, '\0'), 64, 64),
        EAbZipDataError);
    std::string stored = std::string("\x01\x05\x00\xFA\xFE", 5) + "hello";
    EXPECT_THROW(Inflate(OwnInflater(TDeflateVariant::Deflate64), stored, 64, 64), EAbZipDataError);
    stored[4] = '\xFF';
    EXPECT_EQ(Inflate(OwnInflater(TDeflateVariant::Deflate64), stored, 64, 64), "hello");
}

} // namespace
} // namespace kalmora::test
