// The common vocabulary through the registry: what is registered in which order, and the behaviour of the
// dialog, text, System and file functions at their edges.

#include "VocabularyCalls.h"
#include "runtime/Exceptions.h"
#include "support/TestFolder.h"

#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kalmora {
namespace {

using test::TVocabulary;

struct TExpectedName {
    const char* Unit;
    const char* Name;
    int ParamCount;
    int ByRef; // index of the var parameter, -1 for none
};

// Every function of RegisterCommonFunctions after the constants, in registration order.
const TExpectedName CommonFunctions[] = {
    {"Dialogs", "MessageDlg", 4, -1},
    {"Dialogs", "ShowMessage", 1, -1},
    {"Dialogs", "InputBox", 3, -1},
    {"SysUtils", "UpperCase", 1, -1},
    {"SysUtils", "LowerCase", 1, -1},
    {"SysUtils", "CompareStr", 2, -1},
    {"SysUtils", "CompareText", 2, -1},
    {"SysUtils", "Trim", 1, -1},
    {"SysUtils", "TrimLeft", 1, -1},
    {"SysUtils", "TrimRight", 1, -1},
    {"SysUtils", "QuotedStr", 2, -1},
    {"SysUtils", "ExtractQuotedStr", 2, 0},
    {"SysUtils", "IntToStr", 1, -1},
    {"SysUtils", "StrToInt", 1, -1},
    {"SysUtils", "StrToIntDef", 2, -1},
    {"SysUtils", "Format", 2, -1},
    {"SysUtils", "FloatToStr", 1, -1},
    {"SysUtils", "StrToFloat", 1, -1},
    {"SysUtils", "DayOfWeek", 1, -1},
    {"SysUtils", "Date", 0, -1},
    {"SysUtils", "Now", 0, -1},
    {"SysUtils", "DateToStr", 1, -1},
    {"SysUtils", "TimeToStr", 1, -1},
    {"SysUtils", "DateTimeToStr", 1, -1},
    {"SysUtils", "StrToDate", 1, -1},
    {"SysUtils", "StrToTime", 1, -1},
    {"SysUtils", "StrToDateTime", 1, -1},
    {"SysUtils", "FormatDateTime", 2, -1},
    {"SysUtils", "Abort", 0, -1},
    {"SysUtils", "Beep", 0, -1},
    {"SysUtils", "Pos", 2, -1},
    {"System", "Ord", 1, -1},
    {"System", "Chr", 1, -1},
    {"System", "Abs", 1, -1},
    {"System", "Length", 1, -1},
    {"System", "Copy", 3, -1},
    {"System", "Round", 1, -1},
    {"System", "Trunc", 1, -1},
    {"System", "Delete", 3, 0},
    {"System", "Insert", 3, 1},
    {"SysUtils", "DeleteFile", 1, -1},
    {"SysUtils", "RenameFile", 2, -1},
    {"SysUtils", "FileExists", 1, -1},
};

const char* const Constants[] = {
    "mtWarning",  "mtError",  "mtInformation", "mtConfirmation", "mtCustom",  "mbYes",      "mbNo",
    "mbOK",       "mbCancel", "mbAbort",       "mbRetry",        "mbIgnore",  "mbAll",      "mbNoToAll",
    "mbYesToAll", "mbHelp",   "mrNone",        "mrOk",           "mrCancel",  "mrAbort",    "mrRetry",
    "mrIgnore",   "mrYes",    "mrNo",          "mrAll",          "mrNoToAll", "mrYesToAll",
};

void ExpectFunction(const TAdapterEntry& entry, const TExpectedName& expected) {
    SCOPED_TRACE(expected.Name);
    EXPECT_EQ(entry.Kind, TAdapterEntryKind::Function);
    EXPECT_EQ(entry.UnitName, expected.Unit);
    EXPECT_EQ(entry.Identifier, expected.Name);
    EXPECT_EQ(entry.ParamCount, expected.ParamCount);
    EXPECT_EQ(entry.ResultKind, ResultNotDeclared);
    for (int i = 0; i < entry.ParamCount; ++i)
        EXPECT_EQ(entry.IsByRef(i), i == expected.ByRef) << "parameter " << i;
}

TEST(CommonFunctions, ConstantsComeFirstThenTheFunctionsInTableOrder) {
    TJvInterpreterAdapter registry;
    RegisterCommonFunctions(registry);
    const auto& entries = registry.Entries();
    constexpr std::size_t constantCount = std::size(Constants);
    ASSERT_EQ(constantCount, 27u);
    ASSERT_EQ(entries.size(), constantCount + std::size(CommonFunctions));
    int groupStart = 0;
    for (std::size_t i = 0; i < constantCount; ++i) {
        const TAdapterEntry& entry = entries[i];
        if (i == 5 || i == 16)
            groupStart = static_cast<int>(i);
        EXPECT_EQ(entry.Kind, TAdapterEntryKind::Constant);
        EXPECT_EQ(entry.UnitName, "Dialogs");
        EXPECT_EQ(entry.Identifier, Constants[i]);
        EXPECT_EQ(entry.Value.Type(), TVarType::Integer);
        EXPECT_EQ(entry.Value.IntValue(), static_cast<int>(i) - groupStart) << Constants[i];
    }
    for (std::size_t i = 0; i < std::size(CommonFunctions); ++i)
        ExpectFunction(entries[constantCount + i], CommonFunctions[i]);
}

TEST(CommonFunctions, UtilitiesFollowWithTheXmlTypesAndTheirMembers) {
    TJvInterpreterAdapter registry;
    RegisterUtilFunctions(registry);
    const auto& e = registry.Entries();
    ASSERT_EQ(e.size(), 16u);
    const TExpectedName functions[] = {{"UtilBox", "Quoted", 1, -1},
                                       {"UtilBox", "FloatToStrExt", 3, -1},
                                       {"UtilBox", "GenerateUuid", 0, -1},
                                       {"UtilBox", "FileToStr", 1, -1},
                                       {"XmlUtils", "GenerateNewXmlDoc", 0, -1},
                                       {"XmlUtils", "AddChildValue", 3, -1}};
    for (std::size_t i = 0; i < std::size(functions); ++i)
        ExpectFunction(e[i], functions[i]);
    EXPECT_EQ(e[6].Kind, TAdapterEntryKind::Class);
    EXPECT_EQ(e[6].UnitName, "XmlUtils");
    EXPECT_EQ(e[6].Identifier, "IXmlDoc");
    EXPECT_EQ(e[9].Kind, TAdapterEntryKind::Class);
    EXPECT_EQ(e[9].Identifier, "IXmlNode");
    const std::pair<std::size_t, TExpectedName> members[] = {{7, {"", "AddChild", 1, -1}},
                                                             {8, {"", "SaveToFile", 1, -1}},
                                                             {10, {"", "AddChild", 1, -1}},
                                                             {11, {"", "SetAttribute", 2, -1}}};
    for (const auto& [index, expected] : members) {
        EXPECT_EQ(e[index].Kind, TAdapterEntryKind::Member);
        EXPECT_EQ(e[index].Identifier, expected.Name);
        EXPECT_EQ(e[index].ParamCount, expected.ParamCount);
        EXPECT_EQ(*e[index].Class.Type, *e[index < 9 ? 6 : 9].Class.Type) << "member on its own type";
    }
    const std::pair<const char*, const char*> exceptionClasses[] = {{"EInternalError", "Exception"},
                                                                    {"ElmException", "Exception"},
                                                                    {"EDataError", "ElmException"},
                                                                    {"EDOMParseError", "Exception"}};
    for (std::size_t i = 0; i < std::size(exceptionClasses); ++i) {
        EXPECT_EQ(e[12 + i].Kind, TAdapterEntryKind::ExceptionClass);
        EXPECT_EQ(e[12 + i].Identifier, exceptionClasses[i].first);
        EXPECT_EQ(e[12 + i].Value.AsString(), exceptionClasses[i].second);
    }
}

TEST(CommonFunctions, MessageDlgTakesTheButtonsAsSetOrAsInteger) {
    TVocabulary call;
    testing::internal::CaptureStdout();
    const Variant yesNo = call("MessageDlg", {"Weiter?", 3, std::vector<Variant>{0, 1}, 0});
    const Variant three = call("MessageDlg", {"Weiter?", 3, 3, 0});
    const Variant cancelOnly = call("MessageDlg", {"Abbrechen?", 1, std::vector<Variant>{3}, 0});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Weiter?\nWeiter?\nAbbrechen?\n");
    EXPECT_EQ(yesNo.AsInteger(), 6) << "mrYes, the result of the lowest button";
    EXPECT_EQ(three.AsInteger(), 6) << "the integer 3 is the same set";
    EXPECT_EQ(cancelOnly.AsInteger(), 2);
}

TEST(CommonFunctions, ShowMessagePrintsAndInputBoxKeepsTheDefaultWithoutAScreen) {
    TVocabulary call;
    testing::internal::CaptureStdout();
    const Variant shown = call("ShowMessage", {"Hallo"});
    const Variant entered = call("InputBox", {"Titel", "Name:", "Vorgabe"});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Hallo\n");
    EXPECT_TRUE(shown.IsEmpty());
    EXPECT_EQ(entered.AsString(), "Vorgabe");
}

TEST(CommonFunctions, ExtractQuotedStrHandsTheRestBackThroughTheVariable) {
    TVocabulary vocabulary;
    auto call = vocabulary.Call("ExtractQuotedStr", {"'it''s' rest", "'"});
    EXPECT_EQ(call.Result.AsString(), "it's");
    EXPECT_EQ(call.Args[0].AsString(), " rest");
    call = vocabulary.Call("ExtractQuotedStr", {"plain", "'"});
    EXPECT_EQ(call.Result.AsString(), "");
    EXPECT_EQ(call.Args[0].AsString(), "plain");
    call = vocabulary.Call("ExtractQuotedStr", {"'open", "'"});
    EXPECT_EQ(call.Result.AsString(), "open");
    EXPECT_EQ(call.Args[0].AsString(), "") << "no closing quote leaves nothing behind";
}

TEST(CommonFunctions, DeleteAndInsertChangeTheVariableAndReturnTheSameText) {
    TVocabulary vocabulary;
    auto deleted = vocabulary.Call("Delete", {"Kalmora", 2, 3});
    EXPECT_EQ(deleted.Args[0].AsString(), "Kora");
    EXPECT_EQ(deleted.Result.AsString(), "Kora");
    auto inserted = vocabulary.Call("Insert", {"XY", "abc", 2});
    EXPECT_EQ(inserted.Args[1].AsString(), "aXYbc");
    EXPECT_EQ(inserted.Result.AsString(), "aXYbc");
    EXPECT_EQ(inserted.Args[0].AsString(), "XY") << "the source is a value parameter";
    auto outside = vocabulary.Call("Delete", {"abc", 9, 1});
    EXPECT_EQ(outside.Args[0].AsString(), "abc");
    auto atEnd = vocabulary.Call("Insert", {"!", "abc", 99});
    EXPECT_EQ(atEnd.Args[1].AsString(), "abc!");
    auto numeric = vocabulary.Call("Delete", {12345, 1, 2});
    EXPECT_EQ(numeric.Args[0].Type(), TVarType::String) << "converted to text on entry";
    EXPECT_EQ(numeric.Args[0].AsString(), "345");
}

TEST(CommonFunctions, TextFunctionsUseTheLocaleAndConvertTheirArguments) {
    TVocabulary call;
    EXPECT_EQ(call("UpperCase", {"abc äöü"}).AsString(), "ABC ÄÖÜ");
    EXPECT_EQ(call("LowerCase", {"ABC ÄÖÜ"}).AsString(), "abc äöü");
    EXPECT_EQ(call("CompareStr", {"abc", "abc"}).AsInteger(), 0);
    EXPECT_EQ(call("CompareStr", {"a", "zzzzzz"}).AsInteger(), -1);
    EXPECT_EQ(call("CompareStr", {"zzzzzz", "a"}).AsInteger(), 1);
    EXPECT_NE(call("CompareStr", {"ABC", "abc"}).AsInteger(), 0);
    EXPECT_EQ(call("CompareText", {"ÄBC", "äbc"}).AsInteger(), 0);
    EXPECT_EQ(call("CompareText", {"abc", "ABD"}).AsInteger(), -1);
    EXPECT_EQ(call("Trim", {"\t x y \n"}).AsString(), "x y");
    EXPECT_EQ(call("TrimLeft", {"  x "}).AsString(), "x ");
    EXPECT_EQ(call("TrimRight", {"  x \x01"}).AsString(), "  x");
    EXPECT_EQ(call("QuotedStr", {"it's", "'"}).AsString(), "'it''s'");
    EXPECT_EQ(call("IntToStr", {-42}).AsString(), "-42");
    EXPECT_EQ(call("IntToStr", {"17"}).AsString(), "17");
    EXPECT_EQ(call("StrToInt", {"$FF"}).AsInteger(), 255);
    EXPECT_THROW(call("StrToInt", {"12x"}), EConvertError);
    EXPECT_EQ(call("StrToIntDef", {"12x", -1}).AsInteger(), -1);
    EXPECT_EQ(call("FloatToStr", {1.0 / 3.0}).AsString(), "0.333333333333333");
    EXPECT_EQ(call("FloatToStr", {119}).AsString(), "119");
    EXPECT_EQ(call("StrToFloat", {"2.5"}).Type(), TVarType::Double);
    EXPECT_THROW(call("StrToFloat", {"2,5"}), EConvertError);
    EXPECT_EQ(call("Pos", {"b", "abcb"}).AsInteger(), 2);
    EXPECT_EQ(call("Pos", {"x", "abc"}).AsInteger(), 0);
}

TEST(CommonFunctions, FormatTakesItsArgumentsFromTheArray) {
    TVocabulary call;
    const Variant args = std::vector<Variant>{7, "sieben", 2.5};
    EXPECT_EQ(call("Format", {"%d-%s-%.1f", args}).AsString(), "7-sieben-2.5");
    EXPECT_EQ(call("Format", {"%s", "single"}).AsString(), "single") << "a lone value is one argument";
    EXPECT_THROW(call("Format", {"%d", std::vector<Variant>{"x"}}), EConvertError);
}

TEST(CommonFunctions, OrdAbsAndLengthLookAtTheKindOfValue) {
    TVocabulary call;
    EXPECT_EQ(call("Ord", {"A-Z"}).AsInteger(), 65);
    EXPECT_EQ(call("Ord", {"\xC3\xA4"}).AsInteger(), 0xC3) << "the first byte";
    EXPECT_EQ(call("Ord", {1234}).AsInteger(), 1234);
    EXPECT_EQ(call("Ord", {2.0}).AsInteger(), 2);
    EXPECT_THROW(call("Ord", {""}), EConvertError);
    EXPECT_EQ(call("Chr", {65 + 256}).AsString(), "A");
    const Variant minimum = call("Abs", {INT_MIN});
    EXPECT_EQ(minimum.Type(), TVarType::Integer);
    EXPECT_EQ(minimum.IntValue(), INT_MIN);
    EXPECT_EQ(call("Abs", {-5}).IntValue(), 5);
    const Variant real = call("Abs", {-2.5});
    EXPECT_EQ(real.Type(), TVarType::Double);
    EXPECT_EQ(real.DoubleValue(), 2.5);
    EXPECT_EQ(call("Abs", {"-3"}).Type(), TVarType::Double) << "a text is not an integer variant";
    EXPECT_EQ(call("Length", {"Kalmora"}).AsInteger(), 7);
    EXPECT_EQ(call("Length", {""}).AsInteger(), 0);
    EXPECT_EQ(call("Length", {std::vector<Variant>{1, "a", 2.5}}).AsInteger(), 3);
    EXPECT_EQ(call("Length", {std::vector<Variant>{}}).AsInteger(), 0);
    EXPECT_EQ(call("Length", {12345}).AsInteger(), 5) << "anything else as text";
}

TEST(CommonFunctions, RoundGoesToEvenAndTruncTowardZero) {
    TVocabulary call;
    EXPECT_EQ(call("Round", {0.5}).AsInteger(), 0);
    EXPECT_EQ(call("Round", {1.5}).AsInteger(), 2);
    EXPECT_EQ(call("Round", {2.5}).AsInteger(), 2);
    EXPECT_EQ(call("Round", {-2.5}).AsInteger(), -2);
    EXPECT_EQ(call("Round", {2.500001}).AsInteger(), 3);
    EXPECT_EQ(call("Round", {"3.5"}).AsInteger(), 4);
    EXPECT_EQ(call("Round", {Variant::FromCurrency(0.5)}).AsInteger(), 0);
    EXPECT_EQ(call("Trunc", {-2.9}).AsInteger(), -2);
    EXPECT_EQ(call("Copy", {"Kalmora", 0, 3}).AsString(), "Kal");
    EXPECT_EQ(call("Copy", {"Kalmora", 5, 99}).AsString(), "ora");
}

TEST(CommonFunctions, AbortEndsTheRunSilently) {
    TVocabulary call;
    EXPECT_THROW(call("Abort"), EAbort);
    EXPECT_NO_THROW(call("Beep"));
}

TEST(CommonFunctions, FileFunctionsAnswerFalseInsteadOfRaising) {
    TVocabulary call;
    test::TTestFolder folder;
    const std::string a = folder / "a.txt", b = folder / "b.txt", sub = folder / "sub";
    test::WriteFile(a, "A");
    test::WriteFile(b, "B");
    ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);

    EXPECT_TRUE(call("FileExists", {a}).AsBoolean());
    EXPECT_FALSE(call("FileExists", {sub}).AsBoolean()) << "a folder is no file";
    EXPECT_FALSE(call("FileExists", {folder / "none"}).AsBoolean());

    EXPECT_FALSE(call("RenameFile", {a, b}).AsBoolean()) << "an existing target is not replaced";
    EXPECT_EQ(test::ReadFile(b), "B");
    EXPECT_FALSE(call("RenameFile", {a, sub}).AsBoolean()) << "nor is a folder entered";
    EXPECT_TRUE(test::Exists(a));
    EXPECT_TRUE(call("RenameFile", {a, folder / "c.txt"}).AsBoolean());
    EXPECT_FALSE(test::Exists(a));
    EXPECT_EQ(test::ReadFile(folder / "c.txt"), "A");
    EXPECT_FALSE(call("RenameFile", {folder / "none", folder / "d.txt"}).AsBoolean());
    EXPECT_FALSE(call("RenameFile", {"", folder / "d.txt"}).AsBoolean());

    EXPECT_TRUE(call("DeleteFile", {b}).AsBoolean());
    EXPECT_FALSE(test::Exists(b));
    EXPECT_FALSE(call("DeleteFile", {b}).AsBoolean());
    EXPECT_FALSE(call("DeleteFile", {sub}).AsBoolean());
    EXPECT_FALSE(call("DeleteFile", {""}).AsBoolean());
    EXPECT_TRUE(test::Exists(sub));
}

} // namespace
} // namespace kalmora
