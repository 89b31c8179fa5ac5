#include "registry/RegFileFormat.h"

#include "support/ParsedHive.h"

#include <gtest/gtest.h>

using namespace kalmora::registry;
using kalmora::test::ParsedHive;

namespace {

// Written by hand in the registry editor's format: names in other letter case, every value form, a wrapped
// hex list and a REG_EXPAND_SZ as regedit exports it (UTF-16LE bytes of "$HOME/ü").
constexpr std::string_view HandWritten = R"(Windows Registry Editor Version 5.00

; kept as the administrator wrote it
[HKEY_LOCAL_MACHINE\Software\Kalmora]
"DatabaseDir"="/srv/kalmora/db"
"lastconfigupdate.dev"="2024-05-01"
"Retries"=dword:00000003
"Path"=str(2):"$HOME/bin"
"Quote"="say \"hi\" C:\\dir"
@="unnamed"
"Blob"=hex:01,02,ff
"Big"=hex(b):10,00,00,00,00,00,00,00
"List"=hex(7):61,00,62,00,00
"Regedit"=hex(2):24,00,48,00,4f,00,4d,00,45,00,2f,00,fc,00,00,00
"Wrapped"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\
  16,17,18
"Odd"=hex(100):aa

[hkey_local_machine\SOFTWARE\kalmora]
"retries"=dword:0000000A

[HKEY_LOCAL_MACHINE\software\KALMORA\Sub]
"NAME"=""
)";

std::string Bytes(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes)
        out += static_cast<char>(b);
    return out;
}

} // namespace

TEST(RegFileFormat, ReadsAHandWrittenFile) {
    TRegNode root = ParsedHive(HandWritten);
    const TRegNode* key = root.Find("SOFTWARE\\KALMORA");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(root.Find("Software")->Name, "Software"); // the first spelling stays
    auto value = [&](std::string_view name) {
        const TRegValue* v = key->FindValue(name);
        return v ? *v : TRegValue{"<absent>", 0xFFFF, {}};
    };
    EXPECT_EQ(value("databasedir").Data, StringData("/srv/kalmora/db"));
    EXPECT_EQ(value("LASTCONFIGUPDATE.DEV").Data, StringData("2024-05-01"));
    EXPECT_EQ(value("Retries").Type, REG_DWORD);
    EXPECT_EQ(value("Retries").Data, DwordData(10));
    EXPECT_EQ(value("Retries").Name, "Retries");
    EXPECT_EQ(value("Path").Type, REG_EXPAND_SZ);
    EXPECT_EQ(value("Path").Data, StringData("$HOME/bin"));
    EXPECT_EQ(value("Quote").Data, StringData("say \"hi\" C:\\dir"));
    EXPECT_EQ(value("").Data, StringData("unnamed"));
    EXPECT_EQ(value("Blob").Type, REG_BINARY);
    EXPECT_EQ(value("Blob").Data, Bytes({1, 2, 0xff}));
    EXPECT_EQ(value("Big").Type, REG_QWORD);
    EXPECT_EQ(value("Big").Data, Bytes({0x10, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(value("List").Type, REG_MULTI_SZ);
    EXPECT_EQ(value("List").Data, Bytes({0x61, 0, 0x62, 0, 0}));
    EXPECT_EQ(value("Regedit").Type, REG_EXPAND_SZ);
    EXPECT_EQ(value("Regedit").Data, StringData("$HOME/\xC3\xBC"));
    EXPECT_EQ(value("Wrapped").Data.size(), 25u);
    EXPECT_EQ(value("Wrapped").Data[24], 0x18);
    EXPECT_EQ(value("Odd").Type, 0x100u);
    ASSERT_NE(key->FindSubKey("sub"), nullptr);
    EXPECT_EQ(key->FindSubKey("sub")->FindValue("name")->Data, StringData(""));
    EXPECT_EQ(key->Values.size(), 12u);
}

TEST(RegFileFormat, WritingAndReadingAgainKeepsEveryValue) {
    TRegNode root = ParsedHive(HandWritten);
    TRegNode again = ParsedHive(FormatRegFile(root, HiveId::LocalMachine));
    EXPECT_EQ(again, root);
}

TEST(RegFileFormat, ReadsUtf16FilesWithBom) {
    std::string utf8 =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kalmora]\r\n"
        "\"Name\"=\"Gr\xC3\xBC\xC3\x9F"
        "e\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (unsigned char c :
         std::string("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\"
                     "Kalmora]\r\n\"Name\"=\"Gr")) {
        utf16 += static_cast<char>(c);
        utf16 += '\0';
    }
    utf16 += Bytes({0xFC, 0, 0xDF, 0, 'e', 0, '"', 0, '\r', 0, '\n', 0});
    TRegNode fromUtf16 = ParsedHive(utf16, HiveId::CurrentUser);
    EXPECT_EQ(fromUtf16, ParsedHive(utf8, HiveId::CurrentUser));
    EXPECT_EQ(fromUtf16.Find("Software\\Kalmora")->FindValue("Name")->Data, StringData("Gr\xC3\xBC\xC3\x9F"
                                                                                       "e"));
}

TEST(RegFileFormat, KeepsEmptyKeysAndWritesTheFormatOfTheRegistryEditor) {
    TRegNode root;
    root.Create("Software\\Kalmora\\Empty");
    root.Create("Software\\Kalmora").SetValue("Retries", REG_DWORD, DwordData(3));
    root.Create("Software\\Kalmora").SetValue("Path", REG_EXPAND_SZ, StringData("$HOME/bin"));
    root.Create("Software\\Kalmora").SetValue("", REG_SZ, StringData("a\"b\\"));
    EXPECT_EQ(FormatRegFile(root, HiveId::CurrentUser), "Windows Registry Editor Version 5.00\n\n"
                                                        "[HKEY_CURRENT_USER\\Software]\n\n"
                                                        "[HKEY_CURRENT_USER\\Software\\Kalmora]\n"
                                                        "\"Retries\"=dword:00000003\n"
                                                        "\"Path\"=str(2):\"$HOME/bin\"\n"
                                                        "@=\"a\\\"b\\\\\"\n\n"
                                                        "[HKEY_CURRENT_USER\\Software\\Kalmora\\Empty]\n\n");
    EXPECT_EQ(ParsedHive(FormatRegFile(root, HiveId::CurrentUser), HiveId::CurrentUser), root);
}

TEST(RegFileFormat, RefusesKeysNestedDeeperThanTheRegistryAllows) {
    std::string path;
    for (size_t i = 0; i < MaxKeyDepth; ++i)
        path += "\\k";
    TRegFileContent content;
    std::string error;
    EXPECT_TRUE(ParseRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE" + path + "]\n", content, error)) << error;
    EXPECT_FALSE(ParseRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE" + path + "\\k]\n", content, error));
    EXPECT_EQ(error, "line 2: invalid key path");
}

TEST(RegFileFormat, ImportDeletionsRemoveKeysAndValues) {
    TRegNode root = ParsedHive(HandWritten);
    TRegFileContent content;
    std::string error;
    ASSERT_TRUE(ParseRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\n\"Blob\"=-\n"
                             "[-HKEY_LOCAL_MACHINE\\Software\\Kalmora\\Sub]\n",
                             content, error))
        << error;
    ApplySections(content, HiveId::LocalMachine, root);
    EXPECT_EQ(root.Find("Software\\Kalmora")->FindValue("Blob"), nullptr);
    EXPECT_EQ(root.Find("Software\\Kalmora\\Sub"), nullptr);
    EXPECT_NE(root.Find("Software\\Kalmora")->FindValue("Retries"), nullptr);
}

// Values whose data no quoted form can carry must survive a write and a read unchanged.
class RegFileValueRoundTrip : public ::testing::TestWithParam<TRegValue> {};

TEST_P(RegFileValueRoundTrip, KeepsTypeAndBytes) {
    TRegNode root;
    const TRegValue& value = GetParam();
    root.Create("K").SetValue(value.Name, value.Type, value.Data);
    TRegNode again = ParsedHive(FormatRegFile(root, HiveId::LocalMachine));
    const TRegValue* read = again.Find("K") ? again.Find("K")->FindValue(value.Name) : nullptr;
    ASSERT_NE(read, nullptr) << FormatRegFile(root, HiveId::LocalMachine);
    EXPECT_EQ(read->Name, value.Name);
    EXPECT_EQ(read->Type, value.Type);
    EXPECT_EQ(read->Data, value.Data) << FormatRegFile(root, HiveId::LocalMachine);
}

INSTANTIATE_TEST_SUITE_P(OddData, RegFileValueRoundTrip,
                         ::testing::Values(TRegValue{"line breaks", REG_SZ, StringData("one\r\ntwo")},
                                           TRegValue{"no terminator", REG_SZ, "abc"},
                                           TRegValue{"inner nul", REG_SZ, Bytes({'a', 0, 'b', 0})},
                                           TRegValue{"empty sz", REG_SZ, ""},
                                           TRegValue{"raw expand", REG_EXPAND_SZ, "x\ny"},
                                           TRegValue{"short dword", REG_DWORD, Bytes({1, 2, 3})},
                                           TRegValue{"empty binary", REG_BINARY, ""},
                                           TRegValue{"long binary", REG_BINARY, std::string(300, '\x5a')},
                                           TRegValue{"none", REG_NONE, Bytes({0})},
                                           TRegValue{"big type", 0xFFFF0000u, "xyz"},
                                           TRegValue{"quote \" and \\ in name", REG_SZ, StringData("v")},
                                           TRegValue{"utf8 \xC3\xA4", REG_SZ, StringData("\xC3\xB6")}),
                         [](const auto& info) { return "Value" + std::to_string(info.index); });

struct TMalformed {
    const char* Case;
    const char* Text;
    int Line; // the line the error must name; 0 for a whole-file fault
};

void PrintTo(const TMalformed& malformed, std::ostream* out) {
    *out << malformed.Case;
}

class RegFileMalformed : public ::testing::TestWithParam<TMalformed> {};

TEST_P(RegFileMalformed, IsRefusedNamingTheLine) {
    TRegFileContent content;
    std::string error;
    EXPECT_FALSE(ParseRegFile(GetParam().Text, content, error));
    if (GetParam().Line > 0)
        EXPECT_EQ(error.rfind("line " + std::to_string(GetParam().Line) + ":", 0), 0u) << error;
    else
        EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RegFileMalformed,
    ::testing::Values(
        TMalformed{"NoHeader", "[HKEY_LOCAL_MACHINE\\K]\n", 1}, TMalformed{"Empty", "", 0},
        TMalformed{"ValueBeforeSection", "REGEDIT4\n\"a\"=\"b\"\n", 2},
        TMalformed{"UnknownRoot", "REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n", 2},
        TMalformed{"UnclosedSection", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\x\n", 2},
        TMalformed{"UnterminatedString",
                   "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n"
                   "\"a\"=\"b\n",
                   3},
        TMalformed{"TrailingGarbage", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"b\" c\n", 3},
        TMalformed{"DwordTooLong", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:123456789\n", 3},
        TMalformed{"DwordNotHex", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:xyz\n", 3},
        TMalformed{"HexBadByte", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:0g\n", 3},
        TMalformed{"HexOneDigit", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:1,02\n", 3},
        TMalformed{"HexBadType", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex(zz):00\n", 3},
        TMalformed{"HexContinuesPastEnd", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:00,\\", 3},
        TMalformed{"MissingEquals", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\" \"b\"\n", 3},
        TMalformed{"UnknownLine", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\nrm -rf /\n", 3},
        TMalformed{"UnknownValueForm", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=qword:1\n", 3},
        TMalformed{"BrokenUtf16", "\xFF\xFE\x00\xD8", 0},
        TMalformed{"ValueInDeletion", "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"b\"\n", 3}),
    [](const auto& info) { return std::string(info.param.Case); });
