#include "UtilBox/Registry.h"
#include "lmWeb/lmWeb.h"
#include "support/HiveEnvironment.h"
#include "support/HttpTestServer.h"
#include "support/NginxServer.h"
#include "support/TestCertificates.h"
#include "support/TestFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalmora {
namespace {

using namespace kalmora::test;
using ::testing::HasSubstr;

// A site served by nginx over TLS with a certificate of the test's own CA, which the system store does not
// know.
class HttpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeDir(Folder / "site");
        WriteFile(Folder / "site/file.txt", "over tls");
        MakeDir(Folder / "hives");
    }
    void TrustCa(const TCertificateFiles& ca) {
        ASSERT_TRUE(WriteRegistryString(std::string(ServerCaFileSetting), ca.certificate, {}, false, true));
    }
    // The reason HttpGetString gave; nothing written by HttpGetFile either.
    std::string FailureOf(const std::string& url) {
        std::string reason;
        try {
            HttpGetString(url, true);
            ADD_FAILURE() << "fetched " << url;
        } catch (const EHttpError& e) {
            EXPECT_EQ(e.StatusCode, 0);
            reason = e.what();
        }
        EXPECT_THROW(HttpGetFile(url, Folder / "target"), EHttpError);
        EXPECT_FALSE(Exists(Folder / "target"));
        return reason;
    }

    TTestFolder Folder;
    THiveEnvironment Hives{Folder / "hives"};
    TCertificateFiles Ca = MakeTestCa(Folder / "ca");
    TCertificateFiles Certificate = MakeServerCertificate(Folder / "server", Ca);
};

TEST_F(HttpsTest, TheConfiguredCaIsTrustedAndTheClientsRulesStayAsTheyAre) {
    TNginxServer server(Folder / "site", Certificate, "location = /moved { return 302 /file.txt; }");
    TrustCa(Ca);
    THttpTestServer proxy;
    TScopedEnvironment viaProxy("https_proxy", proxy.BaseUrl());
    TScopedEnvironment viaAnyProxy("ALL_PROXY", proxy.BaseUrl());

    EXPECT_EQ(HttpGetString(server.Url("file.txt"), true), "over tls");
    HttpGetFile(server.Url("file.txt"), Folder / "target");
    EXPECT_EQ(ReadFile(Folder / "target"), "over tls");
    try {
        HttpGetString(server.Url("moved"), true);
        ADD_FAILURE() << "redirect followed";
    } catch (const EHttpError& e) {
        EXPECT_EQ(e.StatusCode, 302);
    }

    ASSERT_TRUE(server.WaitForRequests(3, std::chrono::seconds(5)));
    for (const auto& request : server.Requests()) {
        EXPECT_EQ(request.accept, "text/html, */*");
        EXPECT_EQ(request.acceptEncoding, "identity");
        EXPECT_EQ(request.userAgent, "Mozilla/3.0 (compatible; Indy Library)");
    }
    EXPECT_EQ(server.Requests().size(), 3u);
    EXPECT_EQ(proxy.ConnectionCount(), 0u);
}

TEST_F(HttpsTest, AServerTheClientCannotVerifyIsRefusedWithCurlsReason) {
    {
        TNginxServer server(Folder / "site", Certificate);
        EXPECT_THAT(FailureOf(server.Url("file.txt")), HasSubstr("SSL certificate problem"))
            << "system store";
        TrustCa(MakeTestCa(Folder / "other-ca", "Another CA"));
        EXPECT_THAT(FailureOf(server.Url("file.txt")), HasSubstr("SSL certificate problem")) << "another CA";
        EXPECT_EQ(server.Requests().size(), 0u);
    }
    TrustCa(Ca);
    {
        TNginxServer server(Folder / "site",
                            MakeServerCertificate(Folder / "elsewhere", Ca, "DNS:other.invalid"));
        EXPECT_THAT(FailureOf(server.Url("file.txt")), HasSubstr("target host name"));
    }
    {
        TNginxServer plain(Folder / "site");
        std::string url = plain.Url("file.txt");
        EXPECT_THAT(FailureOf("https" + url.substr(4)), HasSubstr("wrong version number"));
    }
}

} // namespace
} // namespace kalmora
