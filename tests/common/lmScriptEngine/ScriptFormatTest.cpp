// "Format" of the script vocabulary: every letter, index, alignment, width and precision, and the errors.

#include "lmScriptEngine/ScriptFormat.h"

#include "runtime/Exceptions.h"

#include <climits>
#include <gtest/gtest.h>

namespace kalmora {
namespace {

std::string F(std::string_view format, std::vector<Variant> args = {}) {
    return FormatValues(format, args, TFormatSettings{});
}

TFormatSettings German() {
    TFormatSettings s;
    s.DecimalSeparator = ",";
    s.ThousandSeparator = ".";
    s.CurrencyString = "€";
    s.CurrencyBefore = false;
    s.CurrencySpaced = true;
    return s;
}

TEST(ScriptFormat, IntegersWithWidthPrecisionAndAlignment) {
    EXPECT_EQ(F("%d", {42}), "42");
    EXPECT_EQ(F("[%5d]", {42}), "[   42]");
    EXPECT_EQ(F("[%-5d]", {42}), "[42   ]");
    EXPECT_EQ(F("%.5d", {-42}), "-00042") << "the precision counts digits, the sign goes in front";
    EXPECT_EQ(F("%d", {INT_MIN}), "-2147483648");
    EXPECT_EQ(F("%u", {-1}), "4294967295");
    EXPECT_EQ(F("%x", {255}), "FF");
    EXPECT_EQ(F("%.4x", {255}), "00FF");
    EXPECT_EQ(F("%x", {-1}), "FFFFFFFF");
    EXPECT_EQ(F("%D|%X", {5, 10}), "5|A") << "letters in either case";
}

TEST(ScriptFormat, FloatsInEachNotation) {
    EXPECT_EQ(F("%f", {2.5}), "2.50") << "two decimals by default";
    EXPECT_EQ(F("%.0f", {2.5}), "3") << "halves away from zero";
    EXPECT_EQ(F("%.2f", {0.125}), "0.13");
    EXPECT_EQ(F("%.3f", {-1.0}), "-1.000");
    EXPECT_EQ(F("%e", {1234.5}), "1.23450000000000E+003");
    EXPECT_EQ(F("%.3e", {0.000123456}), "1.23E-004");
    EXPECT_EQ(F("%.2e", {-9.99}), "-1.0E+001") << "rounding carries into the exponent";
    EXPECT_EQ(F("%e", {0.0}), "0.00000000000000E+000");
    EXPECT_EQ(F("%g", {1.0 / 3.0}), "0.333333333333333");
    EXPECT_EQ(F("%g", {1e20}), "1E20");
    EXPECT_EQ(F("%g", {0.0001}), "0.0001");
    EXPECT_EQ(F("%g", {0.00001}), "1E-5");
    EXPECT_EQ(F("%.3g", {1234.5}), "1.23E3");
    EXPECT_EQ(F("%g", {0.0}), "0");
    EXPECT_EQ(F("%f", {Variant::FromCurrency(119.0)}), "119.00") << "currency counts as a float";
    EXPECT_EQ(F("%.1f", {Variant::FromDateTime(1.5)}), "1.5") << "so does a date-time";
}

TEST(ScriptFormat, NumbersAndMoneyUseTheLocale) {
    const TFormatSettings german = German();
    EXPECT_EQ(FormatValues("%n", {1234567.891}, german), "1.234.567,89");
    EXPECT_EQ(FormatValues("%.0n", {-999.5}, german), "-1.000");
    EXPECT_EQ(FormatValues("%n", {12.0}, german), "12,00");
    EXPECT_EQ(FormatValues("%f", {1234.5}, german), "1234,50") << "no grouping for f";
    EXPECT_EQ(FormatValues("%m", {-1234.5}, german), "-1.234,50 €");
    EXPECT_EQ(FormatValues("%.0m", {7.0}, german), "7 €");
    TFormatSettings dollar;
    dollar.CurrencyString = "$";
    dollar.ThousandSeparator = ",";
    EXPECT_EQ(FormatValues("%m", {1234.5}, dollar), "$1,234.50");
    EXPECT_EQ(FormatValues("%g", {2.5}, german), "2,5");
    EXPECT_EQ(FormatValues("%e", {2.5}, german), "2,50000000000000E+000");
}

TEST(ScriptFormat, TextsPointersAndLiterals) {
    EXPECT_EQ(F("%.3s", {"abcdef"}), "abc") << "the precision cuts";
    EXPECT_EQ(F("[%-6s]", {"ab"}), "[ab    ]");
    EXPECT_EQ(F("[%6s]", {"ab"}), "[    ab]");
    EXPECT_EQ(F("[%1s]", {"abc"}), "[abc]") << "the width never cuts";
    EXPECT_EQ(F("100%% %s", {"sicher"}), "100% sicher");
    EXPECT_EQ(F("no placeholders"), "no placeholders");
    EXPECT_EQ(F("%p", {Variant()}), std::string(2 * sizeof(void*), '0'));
}

TEST(ScriptFormat, StarsAndIndexesTakeFromTheArguments) {
    EXPECT_EQ(F("[%*d]", {5, 42}), "[   42]");
    EXPECT_EQ(F("[%-*d]", {4, 7}), "[7   ]");
    EXPECT_EQ(F("[%*d]", {-4, 7}), "[7   ]") << "a negative width aligns left";
    EXPECT_EQ(F("%.*f", {1, 2.25}), "2.3");
    EXPECT_EQ(F("%*.*f", {6, 1, 2.25}), "   2.3");
    EXPECT_EQ(F("%1:s %0:s %s", {"a", "b"}), "b a b") << "after an index the next argument follows it";
    EXPECT_EQ(F("%0:s%0:s", {"x"}), "xx");
    EXPECT_EQ(F("%1:-4d|", {0, 9}), "9   |");
}

TEST(ScriptFormat, MistakesNameTheSpecifier) {
    auto message = [](std::string_view format, std::vector<Variant> args) {
        try {
            F(format, std::move(args));
        } catch (const EConvertError& e) {
            return e.Message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(message("x %d", {}), "No argument for format '%d'");
    EXPECT_EQ(message("%s %5d", {"a"}), "No argument for format '%5d'");
    EXPECT_EQ(message("%d", {"7"}), "Format '%d' invalid or incompatible with argument");
    EXPECT_EQ(message("%f", {7}), "Format '%f' invalid or incompatible with argument")
        << "as strict as Delphi";
    EXPECT_EQ(message("%s", {7}), "Format '%s' invalid or incompatible with argument");
    EXPECT_EQ(message("%k", {7}), "Format '%k' invalid or incompatible with argument");
    EXPECT_EQ(message("50%", {}), "Format '%' invalid or incompatible with argument");
    EXPECT_EQ(message("%*d", {"5", 1}), "Format '%*' invalid or incompatible with argument");
    EXPECT_EQ(message("%3:d", {1}), "No argument for format '%3:d'");
    EXPECT_EQ(message("%99999999d", {1}), "Format '%99999' invalid or incompatible with argument")
        << "a width that would eat the memory";
    const std::vector<Variant> many(300, Variant(1));
    std::string wide;
    for (std::size_t i = 0; i < many.size(); ++i)
        wide += "%65536d";
    EXPECT_EQ(message(wide, many).rfind("Format result longer than", 0), 0u) << "many widths add up";
    EXPECT_EQ(message("%*d", {INT_MIN, 1}), "Format '%*' invalid or incompatible with argument");
}

TEST(ScriptFormat, EveryShortFormatEitherFormatsOrRaisesAConversionError) {
    const std::string alphabet = "%-*.:09dsfxmpq";
    const std::vector<Variant> args = {3, "ab", 2.5, -7, Variant(), 0};
    std::vector<std::string> formats = {""};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::string> longer;
        for (const std::string& f : formats)
            for (char c : alphabet)
                longer.push_back(f + c);
        formats = std::move(longer);
        for (const std::string& format : formats) {
            try {
                F(format, args);
            } catch (const EConvertError&) {
            } catch (const std::exception& e) {
                ADD_FAILURE() << "'" << format << "' raised " << e.what();
            }
        }
    }
}

} // namespace
} // namespace kalmora
