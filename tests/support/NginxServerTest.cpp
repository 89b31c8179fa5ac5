#include "support/NginxServer.h"

#include "support/TestCertificates.h"
#include "support/TestFolder.h"
#include "support/ToolProcess.h"

#include <gtest/gtest.h>

namespace kalmora::test {
namespace {

using namespace std::chrono_literals;

TToolRun Curl(const std::vector<std::string>& args) {
    std::vector<std::string> all{"-sS", "--noproxy", "*", "-A", "fixture-test"};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram("/usr/bin/curl", all);
}

class NginxServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeDir(Folder / "site");
        WriteFile(Folder / "site/file.txt", "content");
    }
    TTestFolder Folder;
};

TEST_F(NginxServerTest, ServesTheFolderAndLogsEachRequestUntilStopped) {
    TNginxServer server(Folder / "site");
    EXPECT_EQ(Curl({server.Url("file.txt")}).Out, "content");
    EXPECT_EQ(Curl({"-o", "/dev/null", "-w", "%{http_code}", server.Url("/missing?x=1")}).Out, "404");
    ASSERT_TRUE(server.WaitForRequests(2, 5s));
    auto requests = server.Requests();
    EXPECT_EQ(requests[0].status, 200);
    EXPECT_EQ(requests[0].target, "/file.txt");
    EXPECT_EQ(requests[0].userAgent, "fixture-test");
    EXPECT_EQ(requests[0].acceptEncoding, "-");
    EXPECT_EQ(requests[1].status, 404);
    EXPECT_EQ(requests[1].target, "/missing?x=1");

    server.Stop();
    EXPECT_NE(Curl({server.Url("file.txt")}).Exit, 0);
}

TEST_F(NginxServerTest, TlsServesOnlyToAClientThatTrustsItsCa) {
    auto ca = MakeTestCa(Folder / "ca");
    TNginxServer server(Folder / "site", MakeServerCertificate(Folder / "server", ca));
    EXPECT_EQ(server.BaseUrl().rfind("https://127.0.0.1:", 0), 0u);
    EXPECT_EQ(Curl({"--cacert", ca.certificate, server.Url("file.txt")}).Out, "content");
    EXPECT_EQ(Curl({server.Url("file.txt")}).Exit, 60) << "unknown CA";
}

TEST_F(NginxServerTest, ConfigurationThatNginxRefusesRaisesWithItsWords) {
    try {
        TNginxServer server(Folder / "site", TCertificateFiles{Folder / "none.pem", Folder / "none.key"});
        FAIL() << "started without a certificate";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("none.pem"), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace kalmora::test
