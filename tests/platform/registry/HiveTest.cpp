#include "fs/FaultSeam.h"
#include "registry/RegKey.h"
#include "support/ScopedEnvironment.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalmora::registry;
using namespace kalmora::test;

namespace {

class Hive : public ::testing::Test {
protected:
    TTestFolder Dir;
    THive Machine{HiveId::LocalMachine, Dir / "lib/HKLM.reg"};
    THive User{HiveId::CurrentUser, Dir / "config/kalmora/HKCU.reg"};

    TRegValue Query(const THive& hive, std::string_view key, std::string_view name) {
        TRegKey regKey;
        TRegValue value{"<absent>", 0xFFFF, {}};
        if (TRegKey::Open(hive, key, regKey) == RegStatus::Ok)
            regKey.QueryValue(name, value);
        return value;
    }

    RegStatus Set(const THive& hive, std::string_view key, std::string_view name, std::string_view text) {
        TRegKey regKey;
        RegStatus status = TRegKey::OpenOrCreate(hive, key, regKey);
        return status == RegStatus::Ok ? regKey.SetValue(name, REG_SZ, StringData(text)) : status;
    }
};

} // namespace

TEST_F(Hive, OpenReadOnlyNeverCreatesButOpenOrCreateMakesTheWholePath) {
    TRegKey key;
    EXPECT_EQ(TRegKey::Open(Machine, "Software\\Kalmora", key), RegStatus::NotFound);
    EXPECT_FALSE(Exists(Machine.Path()));

    ASSERT_EQ(TRegKey::OpenOrCreate(Machine, "\\Software\\Kalmora\\Deep", key), RegStatus::Ok);
    EXPECT_EQ(TRegKey::Open(Machine, "Software\\Kalmora", key), RegStatus::Ok);
    EXPECT_EQ(TRegKey::Open(Machine, "software\\kalmora\\DEEP", key), RegStatus::Ok);
    EXPECT_EQ(ModeOf(Machine.Path()), 0644u);

    ASSERT_EQ(TRegKey::OpenOrCreate(User, "Software", key), RegStatus::Ok);
    EXPECT_EQ(ModeOf(User.Path()), 0600u);
    EXPECT_EQ(ModeOf(Dir / "config/kalmora"), 0700u);
}

TEST_F(Hive, NamesAreCaseInsensitiveAndKeepTheirFirstSpelling) {
    ASSERT_EQ(Set(Machine, "Software\\Kalmora", "DatabaseDir", "/a"), RegStatus::Ok);
    ASSERT_EQ(Set(Machine, "SOFTWARE\\kalmora", "databasedir", "/b"), RegStatus::Ok);
    EXPECT_EQ(Query(Machine, "software\\KALMORA", "DATABASEDIR").Data, StringData("/b"));
    const std::string text = ReadFile(Machine.Path());
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\n\"DatabaseDir\"=\"/b\""), std::string::npos)
        << text;
    EXPECT_EQ(text.find("databasedir"), std::string::npos);
}

TEST_F(Hive, DeletesValuesAndKeysAndReportsWhatIsAbsent) {
    ASSERT_EQ(Set(Machine, "A\\B", "x", "1"), RegStatus::Ok);
    ASSERT_EQ(Set(Machine, "A\\B\\C", "y", "2"), RegStatus::Ok);
    TRegKey key;
    ASSERT_EQ(TRegKey::Open(Machine, "A\\B", key), RegStatus::Ok);
    EXPECT_EQ(key.DeleteValue("X"), RegStatus::Ok);
    EXPECT_EQ(key.DeleteValue("x"), RegStatus::NotFound);
    EXPECT_EQ(Query(Machine, "A\\B", "x").Type, 0xFFFFu);
    EXPECT_EQ(Query(Machine, "A\\B\\C", "y").Data, StringData("2"));

    EXPECT_EQ(DeleteKey(Machine, "a\\b"), RegStatus::Ok);
    EXPECT_EQ(TRegKey::Open(Machine, "A\\B\\C", key), RegStatus::NotFound);
    EXPECT_EQ(TRegKey::Open(Machine, "A", key), RegStatus::Ok);
    EXPECT_EQ(DeleteKey(Machine, "A\\B"), RegStatus::NotFound);
    EXPECT_EQ(DeleteKey(Machine, "\\"), RegStatus::InvalidArgument);
}

TEST_F(Hive, RefusesNamesTheFileCannotHold) {
    TRegKey key;
    EXPECT_EQ(TRegKey::OpenOrCreate(Machine, "A\nB", key), RegStatus::InvalidArgument);
    EXPECT_EQ(TRegKey::OpenOrCreate(Machine, std::string(256, 'k'), key), RegStatus::InvalidArgument);
    ASSERT_EQ(TRegKey::OpenOrCreate(Machine, "A", key), RegStatus::Ok);
    EXPECT_EQ(key.SetValue("bad\rname", REG_SZ, StringData("v")), RegStatus::InvalidArgument);
}

TEST_F(Hive, KeepsValuesOfEveryTypeWhenItRewritesTheFile) {
    ::mkdir((Dir / "lib").c_str(), 0755);
    WriteFile(
        Machine.Path(),
        "Windows Registry Editor Version 5.00\n\n; written by hand\n[HKEY_LOCAL_MACHINE\\Software\\Kalmora]\n"
        "\"Count\"=dword:0000002a ;the answer\n# "
        "more\n\"Blob\"=hex:de,ad\n\"Multi\"=hex(7):61,00,00,00,00,00\n"
        "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n\"Exp\"=str(2):\"%X%\"\n");
    ASSERT_EQ(Set(Machine, "Software\\Kalmora", "New", "n"), RegStatus::Ok);
    EXPECT_EQ(Query(Machine, "Software\\Kalmora", "Count").Data, DwordData(42));
    EXPECT_EQ(Query(Machine, "Software\\Kalmora", "Blob").Data, "\xde\xad");
    EXPECT_EQ(Query(Machine, "Software\\Kalmora", "Multi").Type, REG_MULTI_SZ);
    EXPECT_EQ(Query(Machine, "Software\\Kalmora", "Q").Type, REG_QWORD);
    EXPECT_EQ(Query(Machine, "Software\\Kalmora", "Exp").Type, REG_EXPAND_SZ);
    EXPECT_EQ(Query(Machine, "Software\\Kalmora", "Exp").Data, StringData("%X%"));
    EXPECT_EQ(ReadFile(Machine.Path()).find("the answer"), std::string::npos); // a rewrite keeps no comment
}

struct TCorruptFile {
    const char* Case;
    const char* Text;
};

void PrintTo(const TCorruptFile& file, std::ostream* out) {
    *out << file.Case;
}

class CorruptHive : public Hive, public ::testing::WithParamInterface<TCorruptFile> {};

TEST_P(CorruptHive, IsNeverOverwritten) {
    ::mkdir((Dir / "lib").c_str(), 0755);
    const std::string garbage = GetParam().Text;
    WriteFile(Machine.Path(), garbage);

    TRegNode root;
    std::string error;
    EXPECT_EQ(Machine.Load(root, &error), RegStatus::Corrupt);
    EXPECT_NE(error.find(Machine.Path()), std::string::npos) << error;
    TRegKey key;
    EXPECT_EQ(TRegKey::Open(Machine, "Software", key), RegStatus::Corrupt);
    EXPECT_EQ(TRegKey::OpenOrCreate(Machine, "Software", key), RegStatus::Corrupt);
    EXPECT_EQ(DeleteKey(Machine, "Software"), RegStatus::Corrupt);
    EXPECT_EQ(ReadFile(Machine.Path()), garbage);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CorruptHive,
    ::testing::Values(
        TCorruptFile{"NoRegistryFile", "not a registry file"},
        TCorruptFile{"TornValue",
                     "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software]\n\"torn\"=\"valu"},
        // A machine hive holding the user's keys is not what it claims to be.
        // The editor would skip the line; a hive rewritten without it would lose it.
        TCorruptFile{"RefusedLine", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software]\n"
                                    "\"n\"=dword:12zz\n\"kept\"=\"x\"\n"},
        TCorruptFile{"OtherHive", "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software]\n"},
        TCorruptFile{"Deletion", "Windows Registry Editor Version 5.00\n[-HKEY_LOCAL_MACHINE\\Software]\n"}),
    [](const auto& info) { return std::string(info.param.Case); });

TEST_F(Hive, ALeftoverOrPlantedTemporaryFileIsReplacedNotFollowed) {
    ::mkdir((Dir / "lib").c_str(), 0755);
    WriteFile(Dir / "victim", "precious");
    ASSERT_EQ(::symlink((Dir / "victim").c_str(), (Machine.Path() + ".tmp").c_str()), 0);
    ASSERT_EQ(Set(Machine, "K", "v", "1"), RegStatus::Ok);
    EXPECT_EQ(ReadFile(Dir / "victim"), "precious");
    EXPECT_FALSE(Exists(Machine.Path() + ".tmp"));
    EXPECT_EQ(Query(Machine, "K", "v").Data, StringData("1"));
}

// The second hive's file cannot be renamed in after the first one's was: the first gets its old bytes back.
TEST_F(Hive, AChangeOfBothHivesThatCannotReplaceTheSecondPutsBackTheFirst) {
    ASSERT_EQ(Set(Machine, "K", "v", "machine"), RegStatus::Ok);
    ASSERT_EQ(Set(User, "K", "v", "user"), RegStatus::Ok);
    const std::string machineBefore = ReadFile(Machine.Path()), userBefore = ReadFile(User.Path());
    int renames = 0;
    kalmora::fs::SetFaultHookForTesting([&](kalmora::fs::TFsStep step, std::size_t) {
        return step == kalmora::fs::TFsStep::Rename && ++renames == 2 ? EROFS : 0;
    });
    std::string error;
    const RegStatus status = ModifyHives(
        {Machine, User},
        [](size_t, TRegNode& root) {
            root.Values.clear();
            root.SubKeys.clear();
            return RegStatus::Ok;
        },
        &error);
    kalmora::fs::SetFaultHookForTesting({});
    EXPECT_NE(status, RegStatus::Ok);
    EXPECT_NE(error.find(User.Path()), std::string::npos) << error;
    EXPECT_EQ(ReadFile(Machine.Path()), machineBefore);
    EXPECT_EQ(ReadFile(User.Path()), userBefore);
    EXPECT_FALSE(Exists(Machine.Path() + ".tmp"));
    EXPECT_FALSE(Exists(User.Path() + ".tmp"));
}

TEST(HivePaths, FollowTheEnvironmentAtEveryCall) {
    // The guards put every variable the test changes back afterwards.
    TScopedEnvironment machine("KALMORA_HKLM_FILE", "/x/m.reg"), user("KALMORA_HKCU_FILE", "/x/u.reg");
    TScopedEnvironment xdg("XDG_CONFIG_HOME", std::nullopt), home("HOME", std::nullopt);
    EXPECT_EQ(StandardHivePath(HiveId::LocalMachine), "/x/m.reg");
    EXPECT_EQ(THive::Standard(HiveId::CurrentUser).Path(), "/x/u.reg");
    ::unsetenv("KALMORA_HKLM_FILE");
    ::setenv("KALMORA_HKCU_FILE", "", 1);
    ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
    EXPECT_EQ(StandardHivePath(HiveId::LocalMachine), "/var/lib/kalmora/HKLM.reg");
    EXPECT_EQ(StandardHivePath(HiveId::CurrentUser), "/xdg/kalmora/HKCU.reg");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(StandardHivePath(HiveId::CurrentUser), "/home/someone/.config/kalmora/HKCU.reg");
}
