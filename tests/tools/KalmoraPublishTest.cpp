// kalmora-publish as a process: the manifest it writes, the packages it refuses, its usage errors, and the
// whole publishing flow with minisign and nginx.

#include "UtilBox/Registry.h"
#include "program/UpdaterProcess.h"
#include "support/HiveEnvironment.h"
#include "support/NginxServer.h"
#include "support/TestCertificates.h"
#include "support/TestFolder.h"
#include "support/ToolProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalmora::test {
namespace {

using ::testing::HasSubstr;

const std::string Tool = KALMORA_PUBLISH_TOOL;
constexpr const char* Password = "demo-Passw0rd";

class KalmoraPublish : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Dir);
        MakeZip(Dir + "/dev.zip", {{"dev/devices/a.ini", "device a"}});
        MakeZip(Dir + "/patch.zip", {{"patch/bin/kalmora.bin", "program 1.1"}}, Password);
        WriteFile(Folder / "password", std::string(Password) + "\r\n");
    }
    TToolRun Publish(std::vector<std::string> args) {
        args.insert(args.begin(), {"manifest", Dir});
        return RunProgram(Tool, args);
    }
    std::string Sha256Of(const std::string& file) {
        return RunProgram("/usr/bin/sha256sum", {file}).Out.substr(0, 64);
    }

    TTestFolder Folder;
    const std::string Dir = Folder / "site/kmdata/kmconfig";
};

TEST_F(KalmoraPublish, ManifestNamesEachPackageWithItsHashAndSizeReadableByTheWebServer) {
    auto run = Publish({"--date", "patch=2026-12-08", "--date", "dev=2026-12-01 & <later>", "--password-file",
                        Folder / "password"});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out + run.Err, "");
    auto size = [](const std::string& file) { return std::to_string(std::filesystem::file_size(file)); };
    EXPECT_EQ(
        ReadFile(Dir + "/configinfo.xml"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kmconfig>\n"
        "  <dev>\n    <date>2026-12-01 &amp; &lt;later&gt;</date>\n    <url>#KMCONFIGDIR#dev.zip</url>\n"
        "    <sha256>" +
            Sha256Of(Dir + "/dev.zip") + "</sha256>\n    <size>" + size(Dir + "/dev.zip") +
            "</size>\n  </dev>\n"
            "  <patch>\n    <date>2026-12-08</date>\n    <url>#KMCONFIGDIR#patch.zip</url>\n"
            "    <sha256>" +
            Sha256Of(Dir + "/patch.zip") + "</sha256>\n    <size>" + size(Dir + "/patch.zip") +
            "</size>\n  </patch>\n</kmconfig>\n");
    EXPECT_EQ(ModeOf(Dir + "/configinfo.xml"), 0644u);
    EXPECT_EQ(FileNamesIn(Dir), (std::vector<std::string>{"configinfo.xml", "dev.zip", "patch.zip"}));
}

struct TRefusal {
    const char* name;
    std::function<void(const std::string& dir)> prepare;
    std::vector<std::string> dates;
    std::string expected; // a part of the one stderr line, after "kalmora-publish: DIR/"
};

class KalmoraPublishRefuses : public KalmoraPublish, public ::testing::WithParamInterface<TRefusal> {};

TEST_P(KalmoraPublishRefuses, OneLineNamingThePackageAndTheOldManifestStays) {
    WriteFile(Dir + "/configinfo.xml", "old");
    GetParam().prepare(Dir);
    std::vector<std::string> args{"--password-file", Folder / "password"};
    for (const auto& date : GetParam().dates)
        args.insert(args.end(), {"--date", date});
    auto run = Publish(args);
    EXPECT_EQ(run.Exit, 1);
    EXPECT_THAT(run.Err, HasSubstr("kalmora-publish: " + Dir + "/" + GetParam().expected));
    EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
    EXPECT_EQ(ReadFile(Dir + "/configinfo.xml"), "old");
}

const std::vector<std::string> BothDates{"dev=1", "patch=2"};

INSTANTIATE_TEST_SUITE_P(
    Faults, KalmoraPublishRefuses,
    ::testing::Values(
        TRefusal{"Truncated",
                 [](auto& d) { WriteFile(d + "/dev.zip", ReadFile(d + "/dev.zip").substr(0, 40)); },
                 BothDates, "dev.zip: cannot be opened: "},
        TRefusal{"EntryOutsideTheKindFolder",
                 [](auto& d) {
                     MakeZip(d + "/dev.zip", {{"dev/a.ini", "a"}, {"devices/b.ini", "b"}});
                 },
                 BothDates, "dev.zip: devices/: outside the folder \"dev\""},
        TRefusal{"NoKindFolderAtAll",
                 [](auto& d) {
                     MakeZip(d + "/dev.zip", {{"readme.txt", "r"}});
                 },
                 BothDates, "dev.zip: readme.txt: outside the folder \"dev\""},
        TRefusal{"EncryptedDevice",
                 [](auto& d) {
                     MakeZip(d + "/dev.zip", {{"dev/a.ini", "a"}}, Password);
                 },
                 BothDates, "dev.zip: dev/a.ini: encrypted, but dev packages are opened without a password"},
        TRefusal{"WrongPatchPassword",
                 [](auto& d) {
                     MakeZip(d + "/patch.zip", {{"patch/bin/kalmora.bin", "x"}}, "another");
                 },
                 BothDates, "patch.zip: patch/bin/kalmora.bin: "},
        TRefusal{
            "PackageWithoutDate", [](auto&) {}, {"dev=1"}, "patch.zip: no --date patch=DATE given for it"},
        TRefusal{"DateWithoutPackage",
                 [](auto&) {},
                 {"dev=1", "patch=2", "partner=3"},
                 "partner.zip: No such file or directory"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KalmoraPublish, UsageErrorsExitTwoAndWriteNothing) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"manifest", Dir},
                                               {"manifest", Dir, "--date", "device=1"},
                                               {"manifest", Dir, "--date", "dev= 2026"},
                                               {"manifest", Dir, "--date", "dev=1", "--date", "dev=2"},
                                               {"manifest", "--date", "dev=1"},
                                               {"publish", Dir}}) {
        auto run = RunProgram(Tool, args);
        EXPECT_EQ(run.Exit, 2) << args.back();
        EXPECT_THAT(run.Err, HasSubstr("usage: kalmora-publish"));
    }
    EXPECT_FALSE(Exists(Dir + "/configinfo.xml"));
    EXPECT_EQ(RunProgram(Tool, {"--help"}).Exit, 0);
}

// The demo's three packages, published as the README shows: manifest, minisign, verify, serve.
class KalmoraPublishFlow : public KalmoraPublish {
protected:
    void SetUp() override {
        KalmoraPublish::SetUp();
        MakeZip(Dir + "/partner.zip",
                {{"partner/partners.ini", "partner list"}, {"partner/labs/lab1.ini", "lab"}});
        MakeDir(Folder / "hives");
        auto keys =
            RunProgram(Minisign, {"-G", "-W", "-p", Folder / "kalmora.pub", "-s", Folder / "kalmora.key"});
        ASSERT_EQ(keys.Exit, 0) << keys.Err;
        ASSERT_EQ(Publish({"--date", "dev=2026-12-01", "--date", "partner=2026-12-05", "--date",
                           "patch=2026-12-08", "--password-file", Folder / "password"})
                      .Exit,
                  0);
        auto sign = RunProgram(Minisign, {"-S", "-s", Folder / "kalmora.key", "-m", Dir + "/configinfo.xml"});
        ASSERT_EQ(sign.Exit, 0) << sign.Err;
    }
    TToolRun Verify(const std::string& source) {
        return RunProgram(Tool, {"verify", source, "--key", Folder / "kalmora.pub", "--password-file",
                                 Folder / "password"});
    }
    static constexpr const char* Minisign = "/usr/bin/minisign";
    THiveEnvironment Hives{Folder / "hives"};
};

TEST_F(KalmoraPublishFlow, ASignedTreeVerifiesFromTheFolderAndFromNginxOverHttps) {
    auto local = Verify(Dir);
    EXPECT_EQ(local.Exit, 0) << local.Err;
    EXPECT_EQ(local.Err, "");
    EXPECT_THAT(local.Out, ::testing::MatchesRegex(
                               "signature: key [0-9A-F]{16}, timestamp [0-9]+\n"
                               "dev: 2026-12-01, [0-9]+ bytes, sha256 [0-9a-f]{64}: unpacks cleanly\n"
                               "partner: 2026-12-05, .*: unpacks cleanly\n"
                               "patch: 2026-12-08, .*: unpacks cleanly\n"));

    auto ca = MakeTestCa(Folder / "ca");
    TNginxServer server(Folder / "site", MakeServerCertificate(Folder / "server", ca));
    ASSERT_TRUE(WriteRegistryString("ServerCAFile", ca.certificate, {}, false, true));
    auto served = Verify(server.Url("kmdata/kmconfig/"));
    EXPECT_EQ(served.Exit, 0) << served.Err;
    EXPECT_EQ(served.Out, local.Out);
}

TEST_F(KalmoraPublishFlow, VerifyNamesATamperedPackageAndAForeignKey) {
    MakeZip(Dir + "/partner.zip", {{"partner/partners.ini", "someone else's list"}});
    auto tampered = Verify(Dir);
    EXPECT_EQ(tampered.Exit, 1);
    EXPECT_THAT(tampered.Err, HasSubstr("kalmora-publish: " + Dir + "/partner.zip: "));
    EXPECT_THAT(tampered.Out, HasSubstr("dev: 2026-12-01"));

    ASSERT_EQ(RunProgram(Minisign, {"-G", "-W", "-p", Folder / "other.pub", "-s", Folder / "other.key"}).Exit,
              0);
    auto foreign = RunProgram(Tool, {"verify", Dir, "--key", Folder / "other.pub"});
    EXPECT_EQ(foreign.Exit, 1);
    EXPECT_THAT(foreign.Err, HasSubstr(Dir + "/configinfo.xml.minisig: unknown key id"));
    EXPECT_EQ(foreign.Out, "");
}

} // namespace
} // namespace kalmora::test
