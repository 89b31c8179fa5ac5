#include "registry/RegFileFormat.h"

#include "support/ParsedHive.h"
#include "text/Unicode.h"

#include <cstring>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

using namespace kalmora::registry;
using kalmora::test::ParsedHive;
using namespace std::string_view_literals;

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
"List"=hex(7):61,00,00,00,62,00,00,00,00,00
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
    ASSERT_TRUE(ParseRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE" + path + "]\n", content, error)) << error;
    EXPECT_EQ(FirstRefusal(content), "");
    ASSERT_TRUE(ParseRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE" + path + "\\k]\n", content, error));
    EXPECT_EQ(FirstRefusal(content), "line 2: invalid key path");
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

// Values whose data no quoted form can carry must survive a write and a read unchanged; strings come back
// as their text up to the first NUL.
class RegFileValueRoundTrip : public ::testing::TestWithParam<TRegValue> {};

TEST_P(RegFileValueRoundTrip, KeepsTypeAndBytes) {
    TRegNode root;
    TRegValue value = GetParam();
    root.Create("K").SetValue(value.Name, value.Type, value.Data);
    TRegNode again = ParsedHive(FormatRegFile(root, HiveId::LocalMachine));
    const TRegValue* read = again.Find("K") ? again.Find("K")->FindValue(value.Name) : nullptr;
    ASSERT_NE(read, nullptr) << FormatRegFile(root, HiveId::LocalMachine);
    EXPECT_EQ(read->Name, value.Name);
    EXPECT_EQ(read->Type, value.Type);
    if (value.Type == REG_SZ || value.Type == REG_EXPAND_SZ)
        value.Data = StringData(value.Data.substr(0, value.Data.find('\0')));
    EXPECT_EQ(read->Data, value.Data) << FormatRegFile(root, HiveId::LocalMachine);
}

INSTANTIATE_TEST_SUITE_P(
    OddData, RegFileValueRoundTrip,
    ::testing::Values(TRegValue{"line breaks", REG_SZ, StringData("one\r\ntwo")},
                      TRegValue{"no terminator", REG_SZ, "abc"},
                      TRegValue{"inner nul", REG_SZ, Bytes({'a', 0, 'b', 0})},
                      TRegValue{"empty sz", REG_SZ, ""}, TRegValue{"raw expand", REG_EXPAND_SZ, "x\ny"},
                      TRegValue{"multi", REG_MULTI_SZ, Bytes({0xC3, 0xBC, 0, 'b', 0, 0})},
                      TRegValue{"short dword", REG_DWORD, Bytes({1, 2, 3})},
                      TRegValue{"empty binary", REG_BINARY, ""},
                      TRegValue{"long binary", REG_BINARY, std::string(300, '\x5a')},
                      TRegValue{"none", REG_NONE, Bytes({0})}, TRegValue{"big type", 0xFFFF0000u, "xyz"},
                      TRegValue{"quote \" and \\ in name", REG_SZ, StringData("v")},
                      TRegValue{"utf8 \xC3\xA4", REG_SZ, StringData("\xC3\xB6")}),
    [](const auto& info) { return "Value" + std::to_string(info.index); });

struct TMalformed {
    const char* Case;
    std::string_view Text;
    int Line; // the one refused line; 0 for a file refused whole
};

void PrintTo(const TMalformed& malformed, std::ostream* out) {
    *out << malformed.Case;
}

class RegFileMalformed : public ::testing::TestWithParam<TMalformed> {};

TEST_P(RegFileMalformed, IsRefusedNamingTheLine) {
    TRegFileContent content;
    std::string error;
    if (GetParam().Line == 0) {
        EXPECT_FALSE(ParseRegFile(GetParam().Text, content, error));
        EXPECT_FALSE(error.empty());
        return;
    }
    ASSERT_TRUE(ParseRegFile(GetParam().Text, content, error)) << error;
    ASSERT_EQ(content.Refused.size(), 1u) << FirstRefusal(content);
    EXPECT_EQ(content.Refused[0].Line, static_cast<size_t>(GetParam().Line)) << FirstRefusal(content);
    for (const auto& section : content.Sections)
        EXPECT_TRUE(section.Entries.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RegFileMalformed,
    ::testing::Values(TMalformed{"NoHeader", "[HKEY_LOCAL_MACHINE\\K]\n", 0}, TMalformed{"Empty", "", 0},
                      TMalformed{"BlankLineBeforeHeader", "\nREGEDIT4\n", 0},
                      TMalformed{"HeaderWithMore", "REGEDIT4 FOO\n", 0},
                      TMalformed{"HeaderInOtherCase", "regedit4\n", 0},
                      TMalformed{"Regedit4AfterUtf16Mark", "\xFF\xFER\0E\0G\0E\0D\0I\0T\0004\0"sv, 0},
                      TMalformed{"ValueBeforeSection", "REGEDIT4\n\"a\"=\"b\"\n", 2},
                      TMalformed{"UnknownRoot", "REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n", 2},
                      TMalformed{"UnclosedSection", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\x\n", 2},
                      TMalformed{"UnterminatedString",
                                 "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n"
                                 "\"a\"=\"b\n",
                                 3},
                      TMalformed{"TrailingGarbage", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"b\" c\n", 3},
                      TMalformed{"DwordTooLong", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:123456789\n",
                                 3},
                      TMalformed{"DwordNotHex", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:xyz\n", 3},
                      TMalformed{"HexBadByte", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:0g\n", 3},
                      TMalformed{"HexOneDigit", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:1,02\n", 3},
                      TMalformed{"HexBadType", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex(zz):00\n", 3},
                      TMalformed{"MissingEquals", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\" \"b\"\n", 3},
                      TMalformed{"UnknownLine", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\nrm -rf /\n", 3},
                      TMalformed{"UnknownValueForm", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=qword:1\n", 3},
                      TMalformed{"BrokenUtf16", "\xFF\xFE\x00\xD8", 0},
                      TMalformed{"ValueInDeletion", "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"b\"\n", 3}),
    [](const auto& info) { return std::string(info.param.Case); });

// The forms the registry editor reads, each file written in UTF-8 and in UTF-16LE, with each kind of line
// end. Line 1 is the header, line 2 the key [HKEY_LOCAL_MACHINE\K]; `Values` is how the store writes what was
// read.
struct TForm {
    const char* Case;
    const char* Body;
    const char* Values;
    std::vector<size_t> Refused;
};

struct TEncoding {
    const char* Name;
    bool Utf16;
    const char* LineEnd;
};

class RegFileForms : public ::testing::TestWithParam<std::tuple<TForm, TEncoding>> {};

TEST_P(RegFileForms, ReadAsTheRegistryEditorReadsThem) {
    const auto& [form, encoding] = GetParam();
    std::string text =
        std::string("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n") + form.Body;
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += std::strlen(encoding.LineEnd))
        text.replace(at, 1, encoding.LineEnd);
    if (encoding.Utf16) {
        std::string units;
        ASSERT_TRUE(kalmora::text::Utf8ToUtf16Le(text, units));
        text = "\xFF\xFE" + units;
    }
    TRegFileContent content;
    std::string error;
    ASSERT_TRUE(ParseRegFile(text, content, error)) << error;
    std::vector<size_t> refused;
    for (const auto& fault : content.Refused)
        refused.push_back(fault.Line);
    EXPECT_EQ(refused, form.Refused) << FirstRefusal(content);
    TRegNode root;
    ApplySections(content, HiveId::LocalMachine, root);
    EXPECT_EQ(FormatRegSections(root, HiveId::LocalMachine),
              std::string("[HKEY_LOCAL_MACHINE\\K]\n") + form.Values + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Editor, RegFileForms,
    ::testing::Combine(
        ::testing::Values(
            TForm{"Comments",
                  "; a comment\n# another\n  ;indented\n#\"h\"=\"commented out\"\n\"a\"=\"x;y#z\" ;note\n"
                  "\"b\"=\"v\";note\n\"c\"=dword:00001234 ;note\n\"d\"=dword:1234;5678\n"
                  "\"e\"=str(2):\"%P%\"\t;note\n\"f\"=hex:01,02 ;note\n\"g\"=- ;note\n"
                  "\"i\"=hex(2):41,00,00,00  ;c\n",
                  "\"a\"=\"x;y#z\"\n\"b\"=\"v\"\n\"c\"=dword:00001234\n\"d\"=dword:00001234\n"
                  "\"e\"=str(2):\"%P%\"\n\"f\"=hex:01,02\n\"i\"=str(2):\"A\"\n",
                  {}},
            TForm{"CommentsRefused",
                  "\"a\"=\"x\" #no\n\"b\"=dword:1 #no\n\"c\"=#\"x\"\n\"d\"=- #x\n\"e\"=hex:01 "
                  "#no\n\"ok\"=\"\"\n",
                  "\"ok\"=\"\"\n",
                  {3, 4, 5, 6, 7}},
            TForm{"Continuations",
                  "\"a\"=hex:11,22,\\\n  33,44\n\"b\"=hex:11,22,\\ ;comment\n  ;comment line\n\n  33,\\\n"
                  "\t44\n\"c\"=hex:11,22,  \\\t;x\n  33\n\"d\"=hex:\\\n  "
                  "11\n\"e\"=hex:11,22,\n\"f\"=hex:11,,;c\n"
                  "\"g\"=hex:11,22,;c\n  33\n\"z\"=hex:aa,\\",
                  "\"a\"=hex:11,22,33,44\n\"b\"=hex:11,22,33,44\n\"c\"=hex:11,22,33\n\"d\"=hex:11\n"
                  "\"e\"=hex:11,22\n\"g\"=hex:11,22\n\"z\"=hex:aa\n",
                  {15, 17}},
            TForm{"ContinuationsRefused",
                  "\"a\"=hex:11,22\\\n\"b\"=\"kept\"\n\"c\"=hex:11,\\\n\"d\"=\"eaten\"\n\"e\"=hex:11,\\\n#"
                  "comment\n"
                  "  33\n\"f\"=hex:11,\\\n[HKEY_LOCAL_MACHINE\\K\\Sub]\n\"g\"=hex:11,\\\n  "
                  ",22\n\"h\"=hex:1,22\n"
                  "\"i\"=hex:11,\\#x\n  22\n\"j\"=hex:11,\\\n\\\n  22\n\"k\"=hex:11,\\\n  2\\\n",
                  "\"b\"=\"kept\"\n",
                  {3, 5, 7, 9, 10, 12, 14, 15, 16, 17, 19, 20}},
            TForm{"Text",
                  "\"a\"=hex(1):56,00,61,00,6c,00,75,00,65,00,00,00\n\"b\"=hex(2):25,00,50,00,00,00\n"
                  "\"c\"=hex(7):61,00,00,00,62,00,00,00,00,00\n\"d\"=hex(1):fc,00\n"
                  "\"e\"=hex(1):41,00,0d,00,0a,00,42,00,00,00\n\"f\"=hex(1):41\n\"g\"=\"Gr\xC3\xBC\xC3\x9F"
                  "e\"\n"
                  "\"h\"=\"a\\0b\"\n\"i\"=\"a\\\\0b\\q\"\n",
                  "\"a\"=\"Value\"\n\"b\"=str(2):\"%P\"\n\"c\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
                  "\"d\"=\"\xC3\xBC\"\n\"e\"=hex(1):41,00,0d,00,0a,00,42,00,00,00\n\"g\"=\"Gr\xC3\xBC\xC3\x9F"
                  "e\"\n"
                  "\"i\"=\"a\\\\0b\\\\q\"\n",
                  {8, 10}},
            TForm{"ValuesRefused",
                  "\"a\"=dword:12x4\n\"b\"=\"open\n\"c\"=hex(100000000):00\n\"d\"=dword:123456789\n"
                  "\"e\"=dword:0x1\n\"f\"=\"x\"y\"\nrm -rf "
                  "/\n\"g\"=dword:\n[HKEY_CLASSES_ROOT\\K]\n\"h\"=\"under it\"\n"
                  "[-HKEY_LOCAL_MACHINE\\K\\Gone]\n\"i\"=\"under a "
                  "deletion\"\n[HKEY_LOCAL_MACHINE\\K]\n\"ok\"=dword:1\n",
                  "\"ok\"=dword:00000001\n",
                  {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14}}),
        ::testing::Values(TEncoding{"Utf8Lf", false, "\n"}, TEncoding{"Utf8CrLf", false, "\r\n"},
                          TEncoding{"Utf8Cr", false, "\r"}, TEncoding{"Utf16CrLf", true, "\r\n"},
                          TEncoding{"Utf16Cr", true, "\r"})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).Case) + "_" + std::get<1>(info.param).Name;
    });

// REGEDIT4 files are 8-bit text in Windows-1252, their hex(1), hex(2) and hex(7) data too; the store keeps
// all of it as UTF-8 text.
TEST(RegFileFormat, ReadsRegedit4TextAsWindows1252) {
    for (const char* lineEnd : {"\n", "\r\n", "\r"}) {
        std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"Gr\xFC\xDF"
                           "e\"=\"\x80 5\"\n"
                           "\"b\"=hex(2):25,50,fc,00\n\"c\"=hex(7):61,00,e4,00,00\n\"d\"=hex(1):56,61,6c,\\\n"
                           "  75,65,00\n\"e\"=hex:fc\n";
        for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += std::strlen(lineEnd))
            text.replace(at, 1, lineEnd);
        EXPECT_EQ(FormatRegFile(ParsedHive(text), HiveId::LocalMachine),
                  "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n"
                  "\"Gr\xC3\xBC\xC3\x9F"
                  "e\"=\"\xE2\x82\xAC 5\"\n\"b\"=str(2):\"%P\xC3\xBC\"\n"
                  "\"c\"=hex(7):61,00,00,00,e4,00,00,00,00,00\n\"d\"=\"Value\"\n\"e\"=hex:fc\n\n");
    }
}
