#include "text/Unicode.h"

#include <gtest/gtest.h>

using namespace kalmora::text;

namespace {

std::string Encoded(char32_t cp) {
    std::string out;
    AppendUtf8(out, cp);
    return out;
}

struct TDecodeCase {
    const char* Name;
    std::string Bytes;
    std::string Utf8;
    bool WellFormed;
};

class Utf16Decode : public ::testing::TestWithParam<TDecodeCase> {};

} // namespace

TEST(Utf8Encode, EachLengthAtItsBoundaries) {
    EXPECT_EQ(Encoded(0x7F), "\x7F");
    EXPECT_EQ(Encoded(0x80), "\xC2\x80");
    EXPECT_EQ(Encoded(0x7FF), "\xDF\xBF");
    EXPECT_EQ(Encoded(0x800), "\xE0\xA0\x80");
    EXPECT_EQ(Encoded(0xFFFD), "\xEF\xBF\xBD");
    EXPECT_EQ(Encoded(0x10000), "\xF0\x90\x80\x80");
    EXPECT_EQ(Encoded(0x10FFFF), "\xF4\x8F\xBF\xBF");
}

TEST_P(Utf16Decode, TextAndVerdict) {
    std::string out = "stale";
    EXPECT_EQ(Utf16LeToUtf8(GetParam().Bytes, out), GetParam().WellFormed);
    EXPECT_EQ(out, GetParam().Utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf16Decode,
    ::testing::Values(
        TDecodeCase{"Empty", "", "", true},
        TDecodeCase{"Latin", std::string("G\0r\0\xFC\0\xDF\0", 8), "Gr\xC3\xBC\xC3\x9F", true},
        TDecodeCase{"SurrogatePair", std::string("\x3D\xD8\x00\xDE", 4), "\xF0\x9F\x98\x80", true},
        TDecodeCase{"HighSurrogateAtEnd", std::string("a\0\x3D\xD8", 4), "a\xEF\xBF\xBD", false},
        TDecodeCase{"HighSurrogateBeforeLetter",
                    std::string("\x3D\xD8"
                                "b\0",
                                4),
                    "\xEF\xBF\xBD"
                    "b",
                    false},
        TDecodeCase{"LoneLowSurrogate", std::string("\x00\xDE", 2), "\xEF\xBF\xBD", false},
        TDecodeCase{"OddByteAtEnd", std::string("a\0b", 3), "a\xEF\xBF\xBD", false}),
    [](const auto& info) { return std::string(info.param.Name); });
