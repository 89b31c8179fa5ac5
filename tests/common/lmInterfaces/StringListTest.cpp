// The string list's defaults and the reference-counted list's own operations.

#include "lmInterfaces/IStringList.h"
#include "lmInterfaces/LocaleText.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kalmora {
namespace {

TIntfRef<IStringList> ListOf(std::initializer_list<const char*> entries) {
    auto list = NewStringList();
    for (const char* e : entries)
        list->Add(e);
    return list;
}

std::vector<std::string> Entries(const TIntfRef<IStringList>& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->GetCount(); ++i)
        out.push_back(list->Get(i));
    return out;
}

TEST(StringList, NewListIsEmptyUnsortedAndCaseInsensitive) {
    auto list = NewStringList();
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_FALSE(list->GetSorted());
    EXPECT_FALSE(list->GetCaseSensitive());
    EXPECT_EQ(list->GetDuplicates(), TDuplicates::dupIgnore);
}

TEST(StringList, IndexOfIgnoresCaseAndFindsTheFirstMatch) {
    auto list = NewStringList();
    int thread = 7;
    EXPECT_EQ(list->AddObject("KMConfigUpdaterThread", &thread), 0);
    EXPECT_EQ(list->Add("other"), 1);
    EXPECT_EQ(list->Add("kmCONFIGupdaterTHREAD"), 2) << "an unsorted list keeps duplicates";
    EXPECT_EQ(list->IndexOf("kmconfigupdaterthread"), 0);
    EXPECT_EQ(list->GetObject(0), &thread);
    EXPECT_EQ(list->IndexOf("missing"), -1);
    list->Delete(0);
    EXPECT_EQ(list->IndexOf("kmconfigupdaterthread"), 1);
    list->Clear();
    EXPECT_EQ(list->GetCount(), 0);
}

TEST(StringList, CaseInsensitivityCoversNonAsciiLetters) {
    EXPECT_EQ(AnsiCompareText("ÄRGER", "ärger"), 0);
    EXPECT_NE(AnsiCompareStr("ÄRGER", "ärger"), 0);
    EXPECT_EQ(AnsiUpperCase("öl und äpfel"), "ÖL UND ÄPFEL");
    EXPECT_EQ(AnsiLowerCase("ÖL"), "öl");
    EXPECT_EQ(AnsiLowerCase(std::string("A\xff") + "B"), std::string("a\xff") + "b")
        << "invalid bytes survive";
    // Two-, three- and four-byte forms come back unchanged where case does not apply.
    EXPECT_EQ(AnsiLowerCase("ÄÖ € \xF0\x9D\x84\x9E"), "äö € \xF0\x9D\x84\x9E");
}

TEST(StringList, SortedListIgnoresDuplicates) {
    auto list = ListOf({"pear", "Apple"});
    list->SetSorted(true);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"Apple", "pear"}));
    EXPECT_EQ(list->Add("APPLE"), 0) << "the existing entry's index";
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->Add("banana"), 1);
    EXPECT_EQ(list->IndexOf("PEAR"), 2);
    EXPECT_THROW(list->Insert(0, "x"), EStringListError);
    list->SetDuplicates(TDuplicates::dupError);
    EXPECT_THROW(list->Add("banana"), EStringListError);
}

TEST(StringList, IndexOutOfBoundsIsAnError) {
    auto list = ListOf({"a"});
    EXPECT_THROW(list->Get(1), EStringListError);
    EXPECT_THROW(list->Delete(-1), EStringListError);
}

TEST(StringList, QuotedListEnclosesEntriesWithoutDoublingQuotes) {
    EXPECT_EQ(ListOf({"a", "b"})->GetQuotedList(), "'a', 'b'");
    EXPECT_EQ(ListOf({"x'y"})->GetQuotedList(), "'x'y'");
    EXPECT_EQ(ListOf({})->GetQuotedList(), "");
    EXPECT_EQ(ListOf({"", "c"})->GetQuotedList(), "'', 'c'");
}

TEST(StringList, AppendToEachKeepsTheObjects) {
    auto list = NewStringList();
    int objectA = 1;
    list->AddObject("a", &objectA);
    list->Add("b");
    list->AppendToEach("_old");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a_old", "b_old"}));
    EXPECT_EQ(list->GetObject(0), &objectA);
}

TEST(StringList, NamesAndValuesListsSplitAtTheFirstEquals) {
    auto list = ListOf({"alpha=one", "plain", "k=v=w"});
    EXPECT_EQ(Entries(list->GetNamesList()), (std::vector<std::string>{"alpha", "", "k"}));
    EXPECT_EQ(Entries(list->GetValuesList()), (std::vector<std::string>{"one", "", "v=w"}));
    EXPECT_EQ(list->GetValue("ALPHA"), "one");
    list->SetValue("alpha", "");
    EXPECT_EQ(list->IndexOfName("alpha"), -1);
    list->SetValue("new", "1");
    EXPECT_EQ(list->Get(list->GetCount() - 1), "new=1");
}

TEST(StringList, AddStringListAppendsTextsAndObjects) {
    auto list = ListOf({"a"});
    auto other = NewStringList();
    int object = 3;
    other->AddObject("b", &object);
    list->AddStringList(other);
    list->AddStringList(list);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "b", "a", "b"}));
    EXPECT_EQ(list->GetObject(3), &object);
    other->GetStrings().Add("through the list");
    EXPECT_EQ(other->GetCount(), 2);
}

TEST(StringList, TextFormsRoundTrip) {
    auto list = ListOf({"plain", "with blank", "say \"hi\"", "a,b"});
    std::string comma = list->GetCommaText();
    EXPECT_EQ(comma, "plain,\"with blank\",\"say \"\"hi\"\"\",\"a,b\"");
    auto back = NewStringList();
    back->SetCommaText(comma);
    EXPECT_EQ(Entries(back), Entries(list));
    back->SetCommaText("x y, z,");
    EXPECT_EQ(Entries(back), (std::vector<std::string>{"x", "y", "z", ""}));

    back->SetTextStr("one\r\ntwo\nthree\rfour");
    EXPECT_EQ(Entries(back), (std::vector<std::string>{"one", "two", "three", "four"}));
    EXPECT_EQ(back->GetTextStr(), "one\r\ntwo\r\nthree\r\nfour\r\n");
    std::stringstream stream;
    back->SaveToStream(stream);
    auto loaded = NewStringList();
    loaded->LoadFromStream(stream);
    EXPECT_TRUE(loaded->Equals(back->GetStrings()));
}

TEST(StringList, MoveAndExchangeReorder) {
    auto list = ListOf({"a", "b", "c"});
    list->Move(0, 2);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"b", "c", "a"}));
    list->Exchange(0, 2);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "c", "b"}));
}

} // namespace
} // namespace kalmora
