#include "UpdaterProcess.h"
#include "UtilBox/Registry.h"
#include "kmConfigUpdaterThread/ConfigUpdaterThread.h"
#include "lmDebug/lmDebug.h"
#include "runtime/MainThreadQueue.h"
#include "support/HiveEnvironment.h"
#include "support/HttpTestServer.h"
#include "support/TestFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace kalmora;
using namespace kalmora::test;
using namespace std::chrono_literals;
using Tree = std::map<std::string, std::string>;

namespace {

// The update thread run in this process against the loopback server, the way the program runs it.
class UpdateThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(served + "lic");
        std::filesystem::create_directories(root + "/db/config");
        std::filesystem::create_directories(root + "/install");
        std::filesystem::create_directories(root + "/tmp");
        server.ServeDirectory(root + "/server");
        ASSERT_TRUE(WriteRegistryString("DatabaseDir", root + "/db/"));
        ASSERT_TRUE(WriteRegistryString("InstallDir", root + "/install/"));
    }
    void TearDown() override {
        server.Stop();
        SetDebugOutputHook({});
        SetDebugLevel(DefaultDebugLevel);
    }

    std::shared_ptr<TUpdateReport> Run(bool includePatch) {
        auto report = std::make_shared<TUpdateReport>();
        TThreadManager manager;
        CreateManagedThread<TConfigUpdaterThread>(std::string(ConfigUpdaterThreadName), manager, true,
                                                  "0000A1B2", includePatch, report);
        while (manager.IsThreadRunning(std::string(ConfigUpdaterThreadName)))
            CheckSynchronize(100ms);
        return report;
    }
    void Manifest(const std::string& entries) {
        std::ofstream(served + "configinfo.xml") << "<kmconfig>" << entries << "</kmconfig>";
    }
    bool Requested(const std::string& suffix) {
        for (auto& request : server.Requests())
            if (request.target.ends_with(suffix))
                return true;
        return false;
    }

    TTestFolder Folder;
    const std::string root = Folder.Path();
    const std::string served = root + "/server/kmdata/kmconfig/";
    THiveEnvironment Hives{root};
    TScopedEnvironment TemporaryDirectory{"TMPDIR", root + "/tmp"};
    THttpTestServer server;
    TScopedEnvironment BaseUrl{"KALMORA_CONFIG_BASE_URL", server.Url("kmdata/kmconfig/")};
};

} // namespace

TEST_F(UpdateThreadTest, WithoutIncludePatchThePatchIsLeftAlone) {
    std::ofstream(served + "lic/A1B2.pwd") << "secret";
    MakeZip(served + "patch.zip", {{"patch/bin/a.dll", "new a"}}, "secret");
    WriteTree(root + "/install", {{"bin/a.dll", "old a"}});
    Manifest("<patch><date>2026-12-01</date><url>#KMCONFIGDIR#patch.zip</url></patch>");

    auto report = Run(false);
    EXPECT_TRUE(report->Failures().empty());
    EXPECT_FALSE(Requested("patch.zip"));
    EXPECT_EQ(ReadTree(root + "/install"), (Tree{{"bin/a.dll", "old a"}}));
    EXPECT_EQ(ReadRegistryString("lastconfigupdate.patch", "<absent>"), "<absent>");

    // The same run with the patch included does install it, so the flag is what kept it out.
    report = Run(true);
    EXPECT_TRUE(Requested("patch.zip"));
    EXPECT_EQ(ReadTree(root + "/install"), (Tree{{"bin/a.dll", "new a"}}));
    ASSERT_EQ(report->Installed().size(), 1u);
    EXPECT_EQ(report->Installed()[0].Kind, "patch");
    EXPECT_EQ(report->Installed()[0].Recorded, "2026-12-01");
}

TEST_F(UpdateThreadTest, AnExceptionEndingTheRunIsLoggedOnceWithItsClass) {
    Manifest("<dev><date>2026-12-01<!-- a comment beside the text "
             "--></date><url>#KMCONFIGDIR#dev.zip</url></dev>");
    std::vector<std::string> lines;
    SetDebugOutputHook([&lines](const std::string& line) { lines.push_back(line); });
    SetDebugLevel((DebugEnableCode << 16) | DebugBits::AllToDebugger | DebugFlags::Error |
                  DebugFlags::Warning | DebugFlags::UpdateRun);

    auto report = Run(true);
    int logged = 0;
    for (auto& line : lines)
        logged += line.find("EManifestError: ") != std::string::npos;
    EXPECT_EQ(logged, 1) << ::testing::PrintToString(lines);
    EXPECT_NE(lines.back().find("#ERROR (in 'KMConfigUpdaterThread') : : EManifestError: "),
              std::string::npos)
        << lines.back();
    ASSERT_EQ(report->Failures().size(), 1u);
    EXPECT_EQ(report->Failures()[0].Reason.rfind("EManifestError: ", 0), 0u);
}

TEST_F(UpdateThreadTest, ByDefaultTheRunsFailuresStayOffStderr) {
    // The program prints each failure itself; the default level must not print it a second time.
    std::vector<std::string> lines;
    SetDebugOutputHook([&lines](const std::string& line) { lines.push_back(line); });
    SetDebugLevel(DefaultDebugLevel);
    Manifest("<dev><date>2026-12-01</date><url>#KMCONFIGDIR#missing.zip</url></dev>");
    auto report = Run(true);
    EXPECT_EQ(report->Failures().size(), 1u);
    EXPECT_TRUE(lines.empty()) << ::testing::PrintToString(lines);
}

TEST_F(UpdateThreadTest, ATerminatedThreadRequestsNothing) {
    Manifest("");
    auto report = std::make_shared<TUpdateReport>();
    {
        TThreadManager manager;
        auto& thread = CreateManagedThread<TConfigUpdaterThread>(std::string(ConfigUpdaterThreadName),
                                                                 manager, true, "0000A1B2", true, report);
        thread.Terminate();
    }
    EXPECT_TRUE(report->Failures().empty());
    // It may have started before the flag was set; then the flag stops it at the next request at the latest.
    EXPECT_LE(server.Requests().size(), 1u);
    EXPECT_FALSE(Requested(".pwd"));
}
