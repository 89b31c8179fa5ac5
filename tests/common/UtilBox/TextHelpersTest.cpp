#include "UtilBox/TextHelpers.h"

#include "UtilBox/InternalError.h"
#include "runtime/FormatSettings.h"

#include <gtest/gtest.h>
#include <regex>

using namespace kalmora;

TEST(GetToken, FieldsCountFromOne) {
    EXPECT_EQ(GetToken("a\\b\\c", "\\", 1), "a");
    EXPECT_EQ(GetToken("a\\b\\c", "\\", 2), "b");
    EXPECT_EQ(GetToken("a\\b\\c", "\\", 3), "c");
    EXPECT_EQ(GetToken("a\\b\\c", "\\", 4), "");
    EXPECT_EQ(GetToken("a\\b\\c", "\\", 0), "");
}

TEST(GetToken, DoubledDelimiterMakesAnEmptyField) {
    EXPECT_EQ(GetToken("a\\\\c", "\\", 1), "a");
    EXPECT_EQ(GetToken("a\\\\c", "\\", 2), "");
    EXPECT_EQ(GetToken("a\\\\c", "\\", 3), "c");
}

TEST(GetToken, LongDelimiterAndEdges) {
    EXPECT_EQ(GetToken("one::two::three", "::", 2), "two");
    EXPECT_EQ(GetToken("one::two::", "::", 3), "");
    EXPECT_EQ(GetToken("abc", "", 1), "abc");
    EXPECT_EQ(GetToken("abc", "", 2), "");
    EXPECT_EQ(GetToken("", "\\", 1), "");
    EXPECT_THROW(GetToken("a", "\\", -1), EAssertionFailed);
}

TEST(PosFrom, FindsFromTheGivenPosition) {
    EXPECT_EQ(PosFrom(1, "abcabc", "bc"), 2);
    EXPECT_EQ(PosFrom(3, "abcabc", "bc"), 5);
    EXPECT_EQ(PosFrom(6, "abcabc", "bc"), 0);
    EXPECT_EQ(PosFrom(7, "abcabc", "c"), 0);
    EXPECT_EQ(PosFrom(100, "abc", "a"), 0);
    EXPECT_EQ(PosFrom(1, "abc", ""), 0);
    EXPECT_THROW(PosFrom(0, "abc", "a"), EAssertionFailed);
}

TEST(TextHelpers, JoinLeftRight) {
    EXPECT_EQ(JoinNonEmpty("", "", ", "), "");
    EXPECT_EQ(JoinNonEmpty("a", "", ", "), "a");
    EXPECT_EQ(JoinNonEmpty("", "b", ", "), "b");
    EXPECT_EQ(JoinNonEmpty("a", "b", ", "), "a, b");
    EXPECT_EQ(LeftChars("abc", 2), "ab");
    EXPECT_EQ(LeftChars("abc", 5), "abc");
    EXPECT_EQ(LeftChars("abc", -1), "");
    EXPECT_EQ(RightChars("abc", 2), "bc");
    EXPECT_EQ(RightChars("abc", 3), "abc");
    EXPECT_EQ(RightChars("abc", 9), "abc");
    EXPECT_EQ(RightChars("abc", 0), "");
}

TEST(TrimLeadingChars, DropsLeadingZerosOfAnIdentifier) {
    EXPECT_EQ(TrimLeadingChars("000012AB", "0"), "12AB");
    EXPECT_EQ(TrimLeadingChars("00000000", "0"), "");
    EXPECT_EQ(TrimLeadingChars("0000A1B2", "0"), "A1B2");
    EXPECT_EQ(TrimLeadingChars(" 0012", "0"), "0012"); // the blank stops the walk
    EXPECT_EQ(TrimLeadingChars("1200", "0"), "1200");
    EXPECT_EQ(TrimLeadingChars("0a0\t\r\n", "0"), "a0");
}

TEST(TextHelpers, RemovePrefixAndSuffix) {
    std::string text = "Software\\Kalmora";
    EXPECT_TRUE(RemovePrefix(text, "", true));
    EXPECT_EQ(text, "Software\\Kalmora");
    EXPECT_FALSE(RemovePrefix(text, "software\\", true));
    EXPECT_TRUE(RemovePrefix(text, "software\\", false));
    EXPECT_EQ(text, "Kalmora");
    EXPECT_TRUE(RemoveSuffix(text, ""));
    EXPECT_FALSE(RemoveSuffix(text, "MORA"));
    EXPECT_FALSE(RemoveSuffix(text, "xxKalmora"));
    EXPECT_TRUE(RemoveSuffix(text, "mora"));
    EXPECT_EQ(text, "Kal");
}

TEST(Guid, TextFormsAndNewGuids) {
    TGUID g{0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(GuidToText(g, false), "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
    EXPECT_EQ(GuidToText(g, true), "12345678-9abc-def0-0123-456789abcdef");
    EXPECT_EQ(PlainGuidText("{12345678-9ABC-DEF0-0123-456789ABCDEF}"),
              "12345678-9abc-def0-0123-456789abcdef");
    EXPECT_EQ(PlainGuidText("ABC"), "abc");
    const std::regex braced(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");
    auto a = NewGuidText(false), b = NewGuidText(false);
    EXPECT_TRUE(std::regex_match(a, braced)) << a;
    EXPECT_NE(a, b);
    EXPECT_EQ(NewGuidText(true).size(), 36u);
}

TEST(FormatFixed, SeparatorReplacesTheLocalesOwn) {
    EXPECT_EQ(FormatFixed(2.5L, 2, ","), "2,50");
    EXPECT_EQ(FormatFixed(2.5L, 2, ""), "250");
    EXPECT_EQ(FormatFixed(2.5L, 2, " dot "), "2 dot 50");
    EXPECT_EQ(FormatFixed(-0.125L, 2, "."), "-0.13");
    EXPECT_EQ(FormatFixed(-0.001L, 2, "."), "0.00");
    EXPECT_EQ(FormatFixed(99.995L, 0, "."), "100");
    EXPECT_EQ(FormatFixed(0, 3, "."), "0.000");
}

TEST(FormatFixed, EighteenSignificantDigits) {
    // Digits beyond the 18th significant one come out as zeros, not as binary noise.
    EXPECT_EQ(FormatFixed(123.456L, 18, "."), "123.456000000000000000");
    EXPECT_EQ(FormatFixed(1.0L / 3.0L, 18, "."), "0.333333333333333333");
    EXPECT_EQ(FormatFixed(123456789012345678.0L, 1, "."), "123456789012345678.0");
    EXPECT_EQ(FormatFixed(1e18L, 2, "."), "1E18");
    EXPECT_EQ(FormatFixed(-2.5e20L, 2, ","), "-2,5E20");
}

TEST(FormatFixed, WorksWhateverTheLocalesSeparator) {
    // A German-style separator in the program's settings changes nothing for an explicit separator.
    auto saved = FormatSettings();
    const_cast<TFormatSettings&>(FormatSettings()).DecimalSeparator = ",";
    EXPECT_EQ(FormatFixed(2.5L, 2, "."), "2.50");
    EXPECT_EQ(FormatFixed(2.5L, 2, ""), "250");
    const_cast<TFormatSettings&>(FormatSettings()) = saved;
}

TEST(InternalError, EmptyMessageNamesTheClass) {
    EXPECT_EQ(EInternalError().Message(), "Internal Error: EInternalError");
    EXPECT_EQ(EInternalError("Thread already running").Message(), "Thread already running");
    EXPECT_EQ(EInternalError().ClassName(), "EInternalError");
}

TEST(TextHelpers, SameTextIgnoresAsciiCase) {
    EXPECT_TRUE(SameText("KMConfigUpdaterThread", "kmconfigupdaterthread"));
    EXPECT_FALSE(SameText("abc", "abd"));
    EXPECT_FALSE(SameText("abc", "ab"));
    EXPECT_EQ(Trim(" \t x y \r\n"), "x y");
    EXPECT_EQ(Trim("\x7Fx\x7F"), "\x7Fx\x7F"); // only codes up to 32 are trimmed
}
