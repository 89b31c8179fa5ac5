#include "UpdaterProcess.h"
#include "UtilBox/Registry.h"
#include "support/HiveEnvironment.h"
#include "support/NginxServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TestCertificates.h"
#include "support/TestFolder.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace kalmora;
using namespace kalmora::test;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// An installation whose configuration server is a real nginx over TLS, named by the machine-wide settings.
class UpdaterHttps : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& dir : {root + "/tmp", db, install, served, root + "/out"})
            fs::create_directories(dir);
        Set("DatabaseDir", db);
        Set("InstallDir", install);
        Set("InstallationId", "0000A1B2");
        MakeZip(served + "dev.zip", {{"dev/devices/x.ini", "new x"}});
        WriteFile(served + "configinfo.xml", "<kmconfig><dev><date>2026-12-01</date>"
                                             "<url>#KMCONFIGDIR#dev.zip</url></dev></kmconfig>");
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
    }
    void Set(const std::string& name, const std::string& value) {
        ASSERT_TRUE(WriteRegistryString(name, value, {}, false, true)) << name;
    }
    // The exit code; what the program wrote on stderr is in Stderr.
    int Run(const std::string& baseUrl) {
        Set("ConfigBaseUrl", baseUrl);
        TUpdaterProcess updater(UPDATER_PROGRAM, root, {}, root + "/out/stderr");
        auto status = updater.Wait(60s);
        Stderr = ReadFile(root + "/out/stderr");
        if (!status || !WIFEXITED(*status))
            return -1;
        return WEXITSTATUS(*status);
    }

    TTestFolder Folder;
    const std::string root = Folder.Path();
    const std::string db = root + "/db/";
    const std::string install = root + "/install/";
    const std::string served = root + "/site/kmdata/kmconfig/";
    THiveEnvironment Hives{root};
    TScopedEnvironment TemporaryDirectory{"TMPDIR", root + "/tmp"};
    TScopedEnvironment NoBaseUrlVariable{"KALMORA_CONFIG_BASE_URL", std::nullopt};
    TCertificateFiles Ca = MakeTestCa(root + "/ca");
    std::string Stderr;
};

} // namespace

TEST_F(UpdaterHttps, InstallsFromNginxTrustingTheConfiguredCa) {
    TNginxServer server(root + "/site", MakeServerCertificate(root + "/server", Ca));
    Set("ServerCAFile", Ca.certificate);
    EXPECT_EQ(Run(server.Url("kmdata/kmconfig/")), 0) << Stderr;
    EXPECT_EQ(ReadFile(db + "config/dev/devices/x.ini"), "new x");
    EXPECT_EQ(ReadRegistryString("lastconfigupdate.dev"), "2026-12-01");
}

struct TRefusedServer {
    const char* name;
    const char* subjectAltName; // nullptr: plain HTTP on the port
    bool trustCa;
    const char* reason;
};

class UpdaterHttpsRefused : public UpdaterHttps, public ::testing::WithParamInterface<TRefusedServer> {};

TEST_P(UpdaterHttpsRefused, FailsWithCurlsReasonAndInstallsNothing) {
    const auto& param = GetParam();
    std::optional<TCertificateFiles> certificate;
    if (param.subjectAltName)
        certificate = MakeServerCertificate(root + "/server", Ca, param.subjectAltName);
    if (param.trustCa)
        Set("ServerCAFile", Ca.certificate);
    TNginxServer server(root + "/site", certificate);
    const std::string base = "https" + server.Url("kmdata/kmconfig/").substr(server.BaseUrl().find(':'));

    EXPECT_EQ(Run(base), 1);
    EXPECT_THAT(Stderr, StartsWith("kalmora-updater: manifest: " + base + "configinfo.xml: "));
    EXPECT_THAT(Stderr, HasSubstr(param.reason));
    EXPECT_FALSE(Exists(db + "config/dev"));
    EXPECT_EQ(ReadRegistryString("lastconfigupdate.dev", "<absent>"), "<absent>");
}

INSTANTIATE_TEST_SUITE_P(Servers, UpdaterHttpsRefused,
                         ::testing::Values(TRefusedServer{"CertificateForAnotherHost", "DNS:other.invalid",
                                                          true, "target host name"},
                                           TRefusedServer{"CaTheClientDoesNotKnow", "IP:127.0.0.1", false,
                                                          "SSL certificate problem"},
                                           TRefusedServer{"PlainHttpOnTheTlsPort", nullptr, true,
                                                          "wrong version number"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdaterHttps, AServerCaFileThatCannotBeReadEndsTheRunBeforeAnyRequest) {
    TNginxServer server(root + "/site", MakeServerCertificate(root + "/server", Ca));
    Set("ServerCAFile", root + "/missing.pem");
    EXPECT_EQ(Run(server.Url("kmdata/kmconfig/")), 3);
    EXPECT_THAT(Stderr, StartsWith("kalmora-updater: setting ServerCAFile: cannot be read: " + root +
                                   "/missing.pem: No such file or directory"));
    EXPECT_EQ(server.Requests().size(), 0u);
}
