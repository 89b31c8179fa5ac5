#include "UtilBox/Registry.h"

#include "lmDebug/lmDebug.h"
#include "registry/RegKey.h"
#include "runtime/Exceptions.h"
#include "support/ChildProcess.h"
#include "support/HiveEnvironment.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <thread>

using namespace kalmora;
using namespace kalmora::test;
using registry::HiveId;
using registry::RegStatus;
using registry::THive;
using registry::TRegKey;
using registry::TRegValue;

namespace {

const std::string Root(ProductRegistryKey);

class SettingsStore : public ::testing::Test {
protected:
    TTestFolder Dir;
    THiveEnvironment Hives{Dir / "machine/HKLM.reg", Dir / "user/HKCU.reg"};
    std::vector<std::string> DebugLines;

    void SetUp() override {
        ::mkdir((Dir / "machine").c_str(), 0755);
        ::mkdir((Dir / "user").c_str(), 0755);
        SetDebugLevel(DefaultDebugLevel);
        SetDebugOutputHook([this](const std::string& line) { DebugLines.push_back(line); });
    }

    void TearDown() override { SetDebugOutputHook(nullptr); }

    static THive Hive(HiveId id) { return THive::Standard(id); }

    static void Plant(HiveId id, const std::string& key, const std::string& name, std::uint32_t type,
                      std::string data) {
        TRegKey regKey;
        ASSERT_EQ(TRegKey::OpenOrCreate(Hive(id), key, regKey), RegStatus::Ok);
        ASSERT_EQ(regKey.SetValue(name, type, std::move(data)), RegStatus::Ok);
    }

    static void PlantString(HiveId id, const std::string& name, const std::string& text,
                            const std::string& key = Root) {
        Plant(id, key, name, registry::REG_SZ, registry::StringData(text));
    }

    // The stored data, or "<absent>".
    static std::string Stored(HiveId id, const std::string& name, const std::string& key = Root) {
        TRegKey regKey;
        TRegValue value;
        if (TRegKey::Open(Hive(id), key, regKey) != RegStatus::Ok ||
            regKey.QueryValue(name, value) != RegStatus::Ok)
            return "<absent>";
        return value.Data.substr(0, value.Data.find('\0'));
    }
};

} // namespace

TEST_F(SettingsStore, ReadsPerUserFirstAndAMachineWriteRemovesThePerUserCopy) {
    PlantString(HiveId::LocalMachine, "lastconfigupdate.dev", "machine");
    PlantString(HiveId::CurrentUser, "lastconfigupdate.dev", "user");
    EXPECT_EQ(ReadRegistryString("lastconfigupdate.dev"), "user");
    EXPECT_EQ(ReadRegistryString("LastConfigUpdate.DEV"), "user");

    EXPECT_TRUE(WriteRegistryString("lastconfigupdate.dev", "2024-05-01"));
    EXPECT_EQ(Stored(HiveId::CurrentUser, "lastconfigupdate.dev"), "<absent>");
    EXPECT_EQ(Stored(HiveId::LocalMachine, "lastconfigupdate.dev"), "2024-05-01");
    EXPECT_EQ(ReadRegistryString("lastconfigupdate.dev"), "2024-05-01");
}

TEST_F(SettingsStore, AUserWhoCannotWriteTheMachineHiveWritesPerUser) {
    PlantString(HiveId::LocalMachine, "DatabaseDir", "/srv/machine");
    const std::string machineBefore = ReadFile(Dir / "machine/HKLM.reg");
    ::chmod((Dir / "machine").c_str(), 0555);
    GiveToChild(Dir / "user");

    const int code = RunInChild(
        [] {
            if (!WriteRegistryString("DatabaseDir", "/home/user/db"))
                return 10;
            if (Stored(HiveId::CurrentUser, "DatabaseDir") != "/home/user/db")
                return 11;
            if (ReadRegistryString("DatabaseDir") != "/home/user/db")
                return 12;
            // OnlyHKLM: refused, and nothing goes per user instead.
            if (WriteRegistryString("DatabaseDir", "/only/machine", "", false, true))
                return 13;
            if (WriteRegistryString("Other", "x", "", false, true))
                return 14;
            if (Stored(HiveId::CurrentUser, "DatabaseDir") != "/home/user/db" ||
                Stored(HiveId::CurrentUser, "Other") != "<absent>")
                return 15;
            if (!WriteRegistryString("Mine", "y", "", true, false))
                return 16;
            return 0;
        },
        true);
    ::chmod((Dir / "machine").c_str(), 0755);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(Dir / "machine/HKLM.reg"), machineBefore);
    EXPECT_EQ(Stored(HiveId::CurrentUser, "Mine"), "y");
}

TEST_F(SettingsStore, APerUserNumberGivesWayToTheMachineString) {
    Plant(HiveId::CurrentUser, Root, "Retries", registry::REG_DWORD, registry::DwordData(3));
    PlantString(HiveId::LocalMachine, "Retries", "7");
    EXPECT_EQ(ReadRegistryString("Retries", "d"), "7");
    EXPECT_EQ(ReadRegistryString("Retries", "d", "", true), "d");
}

TEST_F(SettingsStore, ReadsStringTypesAndEmptyDataOfAnyType) {
    Plant(HiveId::CurrentUser, Root, "Expand", registry::REG_EXPAND_SZ, registry::StringData("$HOME/bin"));
    Plant(HiveId::CurrentUser, Root, "Empty", registry::REG_BINARY, "");
    PlantString(HiveId::LocalMachine, "Empty", "machine");
    Plant(HiveId::CurrentUser, Root, "Blob", registry::REG_BINARY, "ab");
    PlantString(HiveId::LocalMachine, "Blob", "machine");
    Plant(HiveId::CurrentUser, Root, "Nul", registry::REG_SZ, std::string("left\0right\0", 11));

    EXPECT_EQ(ReadRegistryString("Expand"), "$HOME/bin"); // never expanded
    EXPECT_EQ(ReadRegistryString("Empty", "d"), "");
    EXPECT_EQ(ReadRegistryString("Blob", "d"), "machine");
    EXPECT_EQ(ReadRegistryString("Nul"), "left");
}

class SettingsStoreDefaults : public SettingsStore, public ::testing::WithParamInterface<std::string> {};

TEST_P(SettingsStoreDefaults, AnAbsentValueGivesTheDefaultExactly) {
    EXPECT_EQ(ReadRegistryString("Absent", GetParam()), GetParam());
    PlantString(HiveId::LocalMachine, "Other", "x");
    EXPECT_EQ(ReadRegistryString("Absent", GetParam()), GetParam());
    EXPECT_EQ(ReadRegistryString("Absent", GetParam(), "No\\Such\\Key"), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Defaults, SettingsStoreDefaults, ::testing::Values("", "x", " spaced ", "init"));

TEST_F(SettingsStore, ValuePathsAddressKeysBelowTheRoot) {
    EXPECT_TRUE(WriteRegistryString("Sub\\Name", "deep"));
    EXPECT_EQ(Stored(HiveId::LocalMachine, "Name", "Software\\Kalmora\\Sub"), "deep");
    EXPECT_EQ(ReadRegistryString("Sub\\Name"), "deep");
    EXPECT_EQ(ReadRegistryString("Name", "", "Software\\Kalmora\\Sub"), "deep");

    EXPECT_TRUE(WriteRegistryString("A\\\\B", "doubled"));
    EXPECT_EQ(Stored(HiveId::LocalMachine, "A"), "doubled");
    EXPECT_EQ(ReadRegistryString("A"), "doubled");

    // A write creates the whole key path.
    EXPECT_TRUE(WriteRegistryString("X\\Y\\Z\\Leaf", "1", "Software\\New"));
    EXPECT_EQ(Stored(HiveId::LocalMachine, "Leaf", "Software\\New\\X\\Y\\Z"), "1");
}

struct TSplitCase {
    std::string Key, Name, ExpectedKey, ExpectedName;
};

void PrintTo(const TSplitCase& c, std::ostream* out) {
    *out << c.Key << " | " << c.Name;
}

class SplitRegistryPathCases : public SettingsStore, public ::testing::WithParamInterface<TSplitCase> {};

TEST_P(SplitRegistryPathCases, SplitsAtBackslashesUpToTheFirstEmptyField) {
    std::string key = GetParam().Key, name = GetParam().Name;
    SplitRegistryPath(key, name);
    EXPECT_EQ(key, GetParam().ExpectedKey);
    EXPECT_EQ(name, GetParam().ExpectedName);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitRegistryPathCases,
    ::testing::Values(TSplitCase{"", "Name", Root, "Name"}, TSplitCase{"K", "A\\B\\C", "K\\A\\B", "C"},
                      TSplitCase{"", "Sub\\Name", "Software\\Kalmora\\Sub", "Name"},
                      TSplitCase{"", "A\\\\B", Root, "A"}, TSplitCase{"K", "Name\\", "K", "Name"},
                      TSplitCase{"K", "\\Name", "K", "Name"}, TSplitCase{"K", "", "K", ""},
                      TSplitCase{"K", "A\\B\\\\C\\D", "K\\A", "B"}));

TEST_F(SettingsStore, WithoutARootEveryCallUsesTheDefaultAndLogsOneError) {
    ResetStandardRegistryRoot();
    const std::string message = "Standard registry root is not defined - using \"\\Software\\Kalmora\"";
    EXPECT_EQ(GetStandardRegistryRoot(), "\\Software\\Kalmora");
    ASSERT_EQ(DebugLines.size(), 1u);
    EXPECT_NE(DebugLines[0].find(message), std::string::npos) << DebugLines[0];

    EXPECT_TRUE(WriteRegistryString("Value", "1"));
    EXPECT_EQ(DebugLines.size(), 2u);
    EXPECT_EQ(Stored(HiveId::LocalMachine, "Value", "Software\\Kalmora"), "1");
    EXPECT_EQ(ReadRegistryString("Value"), "1");
    EXPECT_EQ(DebugLines.size(), 3u);
    EXPECT_EQ(ReadRegistryString("Value", "", "Software\\Kalmora"), "1");
    EXPECT_EQ(DebugLines.size(), 3u);
    for (const auto& line : DebugLines)
        EXPECT_NE(line.find(message), std::string::npos) << line;
}

TEST_F(SettingsStore, ProgrammingErrorsAreAssertions) {
    try {
        SetStandardRegistryRoot("");
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message().rfind("Assertion fehlges (UtilBox, Zeile ", 0), 0u) << e.Message();
    }
    EXPECT_EQ(GetStandardRegistryRoot(), Root);
    try {
        WriteRegistryString("Name", "v", "", true, true);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message().rfind("OnlyHKCU + OnlyHKLM are not allowed (UtilBox, Zeile ", 0), 0u)
            << e.Message();
    }
    EXPECT_FALSE(Exists(Dir / "machine/HKLM.reg"));
    EXPECT_FALSE(Exists(Dir / "user/HKCU.reg"));
}

TEST_F(SettingsStore, ACorruptUserHiveIsReadAsAbsentAndNeverWritten) {
    PlantString(HiveId::LocalMachine, "Name", "machine");
    const std::string garbage =
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\Kalmora]\n"
        "\"Name\"=\"torn";
    WriteFile(Dir / "user/HKCU.reg", garbage);

    EXPECT_EQ(ReadRegistryString("Name", "d"), "machine");
    EXPECT_EQ(ReadRegistryString("Name", "d", "", true), "d");
    EXPECT_FALSE(WriteRegistryString("Name", "u", "", true, false));
    EXPECT_TRUE(WriteRegistryString("Name", "new"));
    EXPECT_EQ(ReadRegistryString("Name"), "new");
    EXPECT_EQ(ReadFile(Dir / "user/HKCU.reg"), garbage);
    ASSERT_FALSE(DebugLines.empty());
    EXPECT_NE(DebugLines[0].find(Dir / "user/HKCU.reg"), std::string::npos) << DebugLines[0];
}

TEST_F(SettingsStore, TwoThreadsWritingAtOnceLoseNoValue) {
    auto writer = [](int id) {
        for (int i = 0; i < 50; ++i)
            if (!WriteRegistryString("t" + std::to_string(id) + "\\v" + std::to_string(i), std::to_string(i)))
                return;
    };
    std::thread first(writer, 1), second(writer, 2);
    first.join();
    second.join();
    for (int id = 1; id <= 2; ++id)
        for (int i = 0; i < 50; ++i)
            EXPECT_EQ(ReadRegistryString("t" + std::to_string(id) + "\\v" + std::to_string(i), "lost"),
                      std::to_string(i));
}
