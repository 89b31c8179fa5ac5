#include "kmbpShared/UpdateKinds.h"

#include "UtilBox/InternalError.h"
#include "UtilBox/Registry.h"
#include "support/HiveEnvironment.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalmora;
using namespace kalmora::test;

namespace {

class UpdateKinds : public ::testing::Test {
protected:
    TTestFolder Dir;
    THiveEnvironment Hives{Dir.Path()};

    static TOnlineUpdateDirs Resolve(const std::string& kind) { return GetOnlineUpdateDirs(kind); }
};

} // namespace

TEST_F(UpdateKinds, ResolveBelowTheDatabaseAndInstallationDirectories) {
    ASSERT_TRUE(WriteRegistryString("DatabaseDir", "/srv/kalmora/db", "Software\\Kalmora"));
    ASSERT_TRUE(WriteRegistryString("InstallDir", "/opt/kalmora/", "Software\\Kalmora"));
    EXPECT_EQ(GetDatabaseDir(), "/srv/kalmora/db/");
    EXPECT_EQ(GetInstallDir(), "/opt/kalmora/"); // no second slash
    EXPECT_EQ(GetConfigDir(), "/srv/kalmora/db/config/");
    EXPECT_EQ(GetDevConfigDir(), "/srv/kalmora/db/config/dev/");
    EXPECT_EQ(GetPartnerConfigDir(), "/srv/kalmora/db/config/partner/");

    auto dev = Resolve("dev");
    EXPECT_EQ(dev.SourceDir, "/srv/kalmora/db/config/dev/");
    EXPECT_EQ(dev.TargetDir, dev.SourceDir);
    EXPECT_TRUE(dev.Replace);
    EXPECT_FALSE(dev.NeedsPassword);
    auto partner = Resolve("partner");
    EXPECT_EQ(partner.TargetDir, "/srv/kalmora/db/config/partner/");
    EXPECT_TRUE(partner.Replace);
    auto patch = Resolve("patch");
    EXPECT_EQ(patch.SourceDir, "/srv/kalmora/db/config/patch/");
    EXPECT_EQ(patch.TargetDir, "/opt/kalmora/");
    EXPECT_FALSE(patch.Replace);
    EXPECT_TRUE(patch.NeedsPassword);
}

TEST_F(UpdateKinds, MissingSettingsGiveRelativeAndEmptyDirectories) {
    EXPECT_EQ(GetDatabaseDir(), "");
    EXPECT_EQ(GetDevConfigDir(), "config/dev/");
    auto patch = Resolve("patch");
    EXPECT_EQ(patch.SourceDir, "config/patch/");
    EXPECT_EQ(patch.TargetDir, "");
    EXPECT_FALSE(patch.Replace);
    EXPECT_TRUE(patch.NeedsPassword);
    EXPECT_FALSE(Exists(Dir / "HKLM.reg")); // resolving never writes
}

TEST_F(UpdateKinds, ThePerUserSettingWins) {
    ASSERT_TRUE(WriteRegistryString("DatabaseDir", "/machine", "Software\\Kalmora"));
    ASSERT_TRUE(WriteRegistryString("DatabaseDir", "/user", "Software\\Kalmora", true));
    EXPECT_EQ(GetConfigDir(), "/user/config/");
}

class UnknownKind : public UpdateKinds, public ::testing::WithParamInterface<std::string> {};

TEST_P(UnknownKind, RaisesAnInternalErrorNamingIt) {
    try {
        GetOnlineUpdateDirs(GetParam());
        FAIL() << "no exception";
    } catch (const EInternalError& e) {
        EXPECT_EQ(e.Message(), "Unknown online update type: " + GetParam());
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnknownKind, ::testing::Values("Dev", "PATCH", "", "devs"),
                         [](const auto& info) {
                             return info.param.empty() ? std::string("Empty") : info.param;
                         });
