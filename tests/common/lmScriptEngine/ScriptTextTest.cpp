// The text and number functions scripts call.

#include "lmScriptEngine/ScriptText.h"

#include "runtime/Exceptions.h"

#include <gtest/gtest.h>
#include <limits>

namespace kalmora {
namespace {

TEST(ScriptText, QuotingAndExtractingWithDoubledQuotes) {
    EXPECT_EQ(QuotedStr("it's", "'"), "'it''s'");
    std::string s = "'it''s' rest";
    EXPECT_EQ(ExtractQuotedStr(s, "'"), "it's");
    EXPECT_EQ(s, " rest");
    std::string open = "'never closed";
    EXPECT_EQ(ExtractQuotedStr(open, "'"), "never closed");
    EXPECT_EQ(open, "");
    std::string plain = "plain";
    EXPECT_EQ(ExtractQuotedStr(plain, "'"), "");
    EXPECT_EQ(plain, "plain");
}

TEST(ScriptText, CopyDeleteInsertClampLikePascal) {
    EXPECT_EQ(ScriptCopy("abcdef", 0, 2), "ab");
    EXPECT_EQ(ScriptCopy("abcdef", 5, 10), "ef");
    EXPECT_EQ(ScriptCopy("abcdef", 7, 1), "");
    EXPECT_EQ(ScriptCopy("abcdef", 2, -1), "");
    std::string s = "abcdef";
    ScriptDelete(s, 2, 2);
    EXPECT_EQ(s, "adef");
    ScriptDelete(s, 3, 100);
    EXPECT_EQ(s, "ad");
    ScriptDelete(s, 0, 1);
    ScriptDelete(s, 3, 1);
    ScriptDelete(s, 1, 0);
    EXPECT_EQ(s, "ad");
    ScriptInsert("XY", s, 2);
    EXPECT_EQ(s, "aXYd");
    ScriptInsert("<", s, -5);
    ScriptInsert(">", s, 99);
    EXPECT_EQ(s, "<aXYd>");
}

TEST(ScriptText, PosFindsWholeCharactersOnly) {
    EXPECT_EQ(ScriptPos("b", "abcb"), 2);
    EXPECT_EQ(ScriptPos("x", "abc"), 0);
    EXPECT_EQ(ScriptPos("", "abc"), 0);
    EXPECT_EQ(ScriptPos("\xa4", "\xc3\xa4\xa4"), 3) << "a continuation byte inside ä is no match";
}

TEST(ScriptText, IntegersParseStrictly) {
    EXPECT_EQ(StrToInt(" 42 "), 42);
    EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_THROW(StrToInt("2147483648"), EConvertError);
    EXPECT_THROW(StrToInt("12a"), EConvertError);
    EXPECT_THROW(StrToInt(""), EConvertError);
    EXPECT_EQ(StrToIntDef("nope", -1), -1);
}

TEST(ScriptText, FloatToStrUsesFifteenDigitsAndTheGeneralFormat) {
    EXPECT_EQ(FloatToStr(0), "0");
    EXPECT_EQ(FloatToStr(1.5), "1.5");
    EXPECT_EQ(FloatToStr(-119), "-119");
    EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
    EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FloatToStr(0.0001), "0.0001");
    EXPECT_EQ(FloatToStr(0.00001), "1E-5");
    EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
    EXPECT_EQ(FloatToStr(1e15), "1E15");
    EXPECT_EQ(FloatToStr(1.25e20), "1.25E20");
}

TEST(ScriptText, StrToFloatTakesOnlyTheLocaleSeparator) {
    EXPECT_EQ(StrToFloat("3.25"), 3.25);
    EXPECT_EQ(StrToFloat(" -1e3 "), -1000);
    EXPECT_THROW(StrToFloat("3,25"), EConvertError);
    EXPECT_THROW(StrToFloat("abc"), EConvertError);
    EXPECT_THROW(StrToFloat(""), EConvertError);
}

TEST(ScriptText, RoundHalvesToEvenAndKeepsTheLow32Bits) {
    EXPECT_EQ(RoundToInt32(2.5), 2);
    EXPECT_EQ(RoundToInt32(3.5), 4);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(4294967297.0), 1);
    EXPECT_EQ(TruncToInt32(-2.9), -2);
    EXPECT_THROW(RoundToInt32(std::numeric_limits<double>::quiet_NaN()), EInvalidOp);
    EXPECT_THROW(RoundToInt32(1e300), EOverflow);
}

} // namespace
} // namespace kalmora
