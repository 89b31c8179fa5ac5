#include "kmConfigUpdaterThread/ConfigManifest.h"

#include "UtilBox/Registry.h"
#include "support/HiveEnvironment.h"
#include "support/HttpTestServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TestFolder.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

namespace kalmora {
namespace {

using test::THttpTestServer;
using test::TScriptedResponse;
using test::TTestFolder;

constexpr const char* BuiltInBaseUrl = "http://config.kalmora.invalid/kmdata/kmconfig/";

// The base-URL override for one test, put back afterwards.
class TBaseUrlVariable : public test::TScopedEnvironment {
public:
    explicit TBaseUrlVariable(const std::optional<std::string>& value)
        : TScopedEnvironment("KALMORA_CONFIG_BASE_URL", value) {}
};

TScriptedResponse Ok(std::string body) {
    TScriptedResponse response;
    response.body = std::move(body);
    return response;
}

// --- the base URL --------------------------------------------------------------------------------------

TEST(ConfigServerTest, BuiltInBaseUrlWithoutOverride) {
    TBaseUrlVariable unset(std::nullopt);
    EXPECT_EQ(ConfigBaseUrl(), BuiltInBaseUrl);
    EXPECT_EQ(ManifestUrl(), std::string(BuiltInBaseUrl) + "configinfo.xml");
}

class ConfigBaseUrlOverrideTest : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(ConfigBaseUrlOverrideTest, OverrideIsTakenOnlyInTheServersFormAndNeverFallsBack) {
    auto [value, accepted] = GetParam();
    TBaseUrlVariable set{std::string(value)};
    if (accepted) {
        EXPECT_EQ(ConfigBaseUrl(), value);
        EXPECT_EQ(ManifestUrl(), ConfigBaseUrl() + "configinfo.xml");
        EXPECT_EQ(ConfigBaseUrlProblem(), "");
    } else {
        EXPECT_THROW(ConfigBaseUrl(), ENotConfigured);
        EXPECT_THROW(ManifestUrl(), ENotConfigured);
        EXPECT_EQ(ConfigBaseUrlProblem().rfind("KALMORA_CONFIG_BASE_URL: ", 0), 0u) << ConfigBaseUrlProblem();
    }
}

TEST(ConfigServerTest, AnEmptyOverrideIsNoOverride) {
    TBaseUrlVariable empty{std::string()};
    EXPECT_EQ(ConfigBaseUrl(), BuiltInBaseUrl);
    EXPECT_EQ(ConfigBaseUrlProblem(), "");
}

TEST(ConfigServerTest, TheMachineWideSettingIsTakenWhenTheVariableIsNotSet) {
    TTestFolder folder;
    test::THiveEnvironment hives(folder.Path());
    TBaseUrlVariable unset(std::nullopt);
    const std::string setting = "https://config.example/kmdata/kmconfig/";
    ASSERT_TRUE(WriteRegistryString("ConfigBaseUrl", "http://user.example/kmdata/kmconfig/", {}, true));
    EXPECT_EQ(ConfigBaseUrl(), BuiltInBaseUrl) << "a per-user value is not read";

    ASSERT_TRUE(WriteRegistryString("ConfigBaseUrl", setting, {}, false, true));
    EXPECT_EQ(ConfigBaseUrl(), setting);
    {
        TBaseUrlVariable set{std::string("http://127.0.0.1:81/kmdata/kmconfig/")};
        EXPECT_EQ(ConfigBaseUrl(), "http://127.0.0.1:81/kmdata/kmconfig/") << "the variable wins";
    }
    ASSERT_TRUE(WriteRegistryString("ConfigBaseUrl", "https://config.example/", {}, false, true));
    EXPECT_THROW(ConfigBaseUrl(), ENotConfigured);
    EXPECT_EQ(ConfigBaseUrlProblem(),
              "setting ConfigBaseUrl: not of the form http[s]://HOST[:PORT]/.../kmdata/kmconfig/: "
              "https://config.example/");
}

INSTANTIATE_TEST_SUITE_P(Values, ConfigBaseUrlOverrideTest,
                         ::testing::Values(std::pair{"http://127.0.0.1:8080/kmdata/kmconfig/", true},
                                           std::pair{"http://staging.example/a/b/kmdata/kmconfig/", true},
                                           std::pair{"http://[::1]:81/kmdata/kmconfig/", true},
                                           std::pair{"http://host/kmdata/kmconfig", false},
                                           std::pair{"https://host:8443/kmdata/kmconfig/", true},
                                           std::pair{"https:/host/kmdata/kmconfig/", false},
                                           std::pair{"http://host/xkmdata/kmconfig/", false},
                                           std::pair{"http:///kmdata/kmconfig/", false},
                                           std::pair{"http://host:0/kmdata/kmconfig/", false},
                                           std::pair{"http://host:99999/kmdata/kmconfig/", false},
                                           std::pair{"http://user:pw@host/kmdata/kmconfig/", false},
                                           std::pair{"http://host/kmdata/kmconfig/?x=/kmdata/kmconfig/",
                                                     false},
                                           std::pair{"http://host/a b/kmdata/kmconfig/", false},
                                           std::pair{"ftp://host/kmdata/kmconfig/", false}));

// --- reading entries -----------------------------------------------------------------------------------

class ConfigManifestTest : public ::testing::Test {
protected:
    TManifest Parse(const std::string& xml) {
        std::string name = Folder / ("manifest" + std::to_string(++FCount) + ".xml");
        test::WriteFile(name, xml);
        return ParseManifestFile(name);
    }

    TTestFolder Folder;
    TBaseUrlVariable FixedBase{std::string("http://127.0.0.1:1/base/kmdata/kmconfig/")};

private:
    int FCount = 0;
};

struct TEntryCase {
    const char* name;
    const char* xml;
    const char* kind;
    const char* date;
    const char* url;
};

class ManifestEntryTest : public ConfigManifestTest, public ::testing::WithParamInterface<TEntryCase> {};

TEST_P(ManifestEntryTest, ReadsDateAndUrl) {
    auto manifest = Parse(GetParam().xml);
    ASSERT_TRUE(manifest);
    std::string date = "stale", url = "stale";
    ReadManifestEntry(manifest, GetParam().kind, date, url);
    EXPECT_EQ(date, GetParam().date);
    EXPECT_EQ(url, GetParam().url);
}

constexpr const char* Base = "http://127.0.0.1:1/base/kmdata/kmconfig/";
const std::string PlaceholderUrl = std::string(Base) + "partner.zip";
const std::string TwiceUrl = std::string(Base) + "a/#KMCONFIGDIR#b.zip";
const std::string MixedUrl = std::string(Base) + "a/#KMCONFIGDIR#b.zip";
const std::string TrimmedUrl = std::string(Base) + "dev.zip";

const char* const Standard = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- configuration packages -->
<configinfo>
  <dev><date>2024-05-01</date><url>http://h/dev.zip</url></dev>
  <partner>
    <url>#KMCONFIGDIR#partner.zip</url>
    <date>2024-06-01</date>
  </partner>
</configinfo>)";

INSTANTIATE_TEST_SUITE_P(
    Cases, ManifestEntryTest,
    ::testing::Values(
        TEntryCase{"Dev", Standard, "dev", "2024-05-01", "http://h/dev.zip"},
        TEntryCase{"PartnerWithPlaceholder", Standard, "partner", "2024-06-01", PlaceholderUrl.c_str()},
        TEntryCase{"NoPatch", Standard, "patch", "", ""},
        TEntryCase{"KindIsCaseSensitive", "<r><Dev><date>1</date><url>u</url></Dev></r>", "dev", "", ""},
        TEntryCase{"FirstOfTwo", "<r><dev><date>1</date><url>u1</url></dev><dev><date>2</date></dev></r>",
                   "dev", "1", "u1"},
        TEntryCase{"FirstDateOnly", "<r><dev><date>1</date><date>2</date></dev></r>", "dev", "1", ""},
        TEntryCase{"BlanksAroundDate", "<r><dev><date>\n   2024-05-01 \t\r\n</date></dev></r>", "dev",
                   "2024-05-01", ""},
        TEntryCase{"OnlyLowCodesTrimmed",
                   "<r><dev><date>\x7f"
                   "1\x7f</date></dev></r>",
                   "dev",
                   "\x7f"
                   "1\x7f",
                   ""},
        TEntryCase{"InnerBlanksKept", "<r><dev><date> 1  2 </date></dev></r>", "dev", "1  2", ""},
        TEntryCase{"EmptyElements", "<r><dev><date/><url></url></dev></r>", "dev", "", ""},
        TEntryCase{"BlankOnlyDate", "<r><dev><date>  \n </date><url>u</url></dev></r>", "dev", "", "u"},
        TEntryCase{"CData", "<r><dev><date> <![CDATA[ <1> ]]>\n</date></dev></r>", "dev", "<1>", ""},
        TEntryCase{"Entities", "<r><dev><url>a?x=1&amp;y=&#50;</url></dev></r>", "dev", "", "a?x=1&y=2"},
        TEntryCase{"CommentsAndOtherElementsIgnored",
                   "<r><!--c--><x/><dev a='1'><!--c--><other>o</other><date>1</date><url>u</url></dev></r>",
                   "dev", "1", "u"},
        TEntryCase{"OnlyDirectChildren", "<r><dev><x><date>0</date></x><date>1</date></dev><y><dev/></y></r>",
                   "dev", "1", ""},
        TEntryCase{"NestedKindNotFound", "<r><y><dev><date>1</date></dev></y></r>", "dev", "", ""},
        TEntryCase{"LowerCasePlaceholderKept", "<r><dev><url>#kmconfigdir#dev.zip</url></dev></r>", "dev", "",
                   "#kmconfigdir#dev.zip"},
        TEntryCase{"PlaceholderTwice", "<r><dev><url>#KMCONFIGDIR#a/#KMCONFIGDIR#b.zip</url></dev></r>",
                   "dev", "", TwiceUrl.c_str()},
        TEntryCase{"FirstOccurrenceInAnyCase",
                   "<r><dev><url>#KmConfigDir#a/#KMCONFIGDIR#b.zip</url></dev></r>", "dev", "",
                   MixedUrl.c_str()},
        TEntryCase{"PlaceholderAfterTrim", "<r><dev><url>\n  #KMCONFIGDIR#dev.zip  </url></dev></r>", "dev",
                   "", TrimmedUrl.c_str()},
        TEntryCase{"DefaultNamespace", "<r xmlns='urn:k'><dev><date>1</date><url>u</url></dev></r>", "dev",
                   "1", "u"},
        TEntryCase{"PrefixedNamespace",
                   "<k:r xmlns:k='urn:k'><k:dev><k:date>1</k:date><k:url>u</k:url></k:dev></k:r>", "dev", "1",
                   "u"},
        TEntryCase{"ForeignNamespaceKindSkipped",
                   "<r><x:dev xmlns:x='urn:x'><x:date>0</x:date></x:dev><dev><date>1</date></dev></r>", "dev",
                   "1", ""},
        TEntryCase{"KindOutsideTheRootsNamespace", "<r xmlns='urn:k'><dev xmlns=''><date>1</date></dev></r>",
                   "dev", "", ""},
        TEntryCase{"DateOutsideTheKindsNamespace",
                   "<r xmlns='urn:k'><dev><date xmlns='urn:other'>0</date><date>1</date></dev></r>", "dev",
                   "1", ""},
        TEntryCase{"RootNameNotExamined", "<anything><dev><date>1</date></dev></anything>", "dev", "1", ""}),
    [](const auto& info) { return std::string(info.param.name); });

class ManifestTextRuleTest : public ConfigManifestTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ManifestTextRuleTest, AnythingButOneTextRaises) {
    auto manifest = Parse(GetParam());
    ASSERT_TRUE(manifest);
    std::string date, url;
    EXPECT_THROW(ReadManifestEntry(manifest, "dev", date, url), EManifestError);
    // Other kinds are still readable: the error belongs to the entry that holds it.
    ReadManifestEntry(manifest, "partner", date, url);
    EXPECT_EQ(date, "2");
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ManifestTextRuleTest,
    ::testing::Values("<r><dev><date>1<!--c--></date></dev><partner><date>2</date></partner></r>",
                      "<r><dev><date><!--c--></date></dev><partner><date>2</date></partner></r>",
                      "<r><dev><url>u<b>x</b></url></dev><partner><date>2</date></partner></r>",
                      "<r><dev><url>u<![CDATA[x]]></url></dev><partner><date>2</date></partner></r>",
                      "<r><dev><date><?pi x?>1</date></dev><partner><date>2</date></partner></r>"));

TEST_F(ConfigManifestTest, NoManifestGivesEmptyEntries) {
    std::string date = "stale", url = "stale";
    ReadManifestEntry(nullptr, "dev", date, url);
    EXPECT_EQ(date, "");
    EXPECT_EQ(url, "");
}

// --- documents the parser refuses ----------------------------------------------------------------------

class ManifestRefusedTest : public ConfigManifestTest, public ::testing::WithParamInterface<std::string> {
protected:
    THttpTestServer Outside;
};

TEST_P(ManifestRefusedTest, IsNoManifestAndReachesNothingOutside) {
    std::string secret = Folder / "secret.txt";
    test::WriteFile(secret, "SECRET");
    std::string xml = GetParam();
    for (auto [mark, value] : {std::pair{std::string("SECRETFILE"), secret},
                               std::pair{std::string("OUTSIDE/"), Outside.BaseUrl()}})
        for (auto at = xml.find(mark); at != std::string::npos; at = xml.find(mark))
            xml.replace(at, mark.size(), value);
    Outside.Script("/dtd", Ok("<!ENTITY e 'from outside'>"));
    EXPECT_EQ(Parse(xml), nullptr);
    EXPECT_EQ(Outside.ConnectionCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ManifestRefusedTest,
    ::testing::Values(
        "", "not xml", "<r><dev></r>", "<r/><r/>", "<?xml version='1.0'?>",
        "<r><dev><date>&undefined;</date></dev></r>",
        "<!DOCTYPE r [<!ENTITY e SYSTEM 'file://SECRETFILE'>]><r><dev><date>&e;</date></dev></r>",
        "<!DOCTYPE r [<!ENTITY e SYSTEM 'OUTSIDE/dtd'>]><r><dev><date>&e;</date></dev></r>",
        "<!DOCTYPE r SYSTEM 'OUTSIDE/dtd'><r><dev><date>&e;</date></dev></r>",
        "<!DOCTYPE r SYSTEM 'OUTSIDE/dtd'><r><dev><date>1</date></dev></r>",
        "<!DOCTYPE r [<!ENTITY % p SYSTEM 'OUTSIDE/dtd'> %p;]><r/>",
        "<!DOCTYPE r [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
        "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'><!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'>"
        "<!ENTITY e '&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;'><!ENTITY f '&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;'>"
        "<!ENTITY g '&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;'><!ENTITY h '&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;'>"
        "<!ENTITY i '&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;'><!ENTITY j '&i;&i;&i;&i;&i;&i;&i;&i;&i;&i;'>]>"
        "<r><dev><date>&j;</date></dev></r>"));

TEST_F(ConfigManifestTest, IncludesAreNotProcessed) {
    THttpTestServer outside;
    outside.Script("/part", Ok("<dev><date>0</date></dev>"));
    auto manifest = Parse("<r><xi:include xmlns:xi='http://www.w3.org/2001/XInclude' href='" +
                          outside.Url("part") + "'/><dev><date>1</date></dev></r>");
    ASSERT_TRUE(manifest);
    std::string date, url;
    ReadManifestEntry(manifest, "dev", date, url);
    EXPECT_EQ(date, "1");
    EXPECT_EQ(outside.ConnectionCount(), 0u);
}

// --- loading from the server ---------------------------------------------------------------------------

class LoadManifestTest : public ConfigManifestTest {
protected:
    THttpTestServer Server;
    std::string WorkDir = Folder.Path();
};

TEST_F(LoadManifestTest, DownloadsIntoTheWorkDirAndParses) {
    Server.Script("/kmdata/kmconfig/configinfo.xml", Ok(Standard));
    int calls = 0;
    auto manifest = LoadManifest(Server.Url("kmdata/kmconfig/configinfo.xml"), WorkDir,
                                 [&](void*, TWorkMode, std::int64_t) { ++calls; });
    ASSERT_TRUE(manifest);
    EXPECT_GT(calls, 0);
    EXPECT_EQ(test::ReadFile(Folder / "configinfo.xml"), Standard);
    std::string date, url;
    ReadManifestEntry(manifest, "dev", date, url);
    EXPECT_EQ(date, "2024-05-01");
}

TEST_F(LoadManifestTest, HttpErrorGivesNoManifest) {
    TScriptedResponse missing;
    missing.statusLine = "HTTP/1.1 404 Not Found";
    missing.body = Standard;
    Server.Script("/configinfo.xml", missing);
    std::vector<std::string> failures;
    auto note = [&](const std::string& reason) { failures.push_back(reason); };
    EXPECT_EQ(LoadManifest(Server.Url("configinfo.xml"), WorkDir, {}, note), nullptr);
    EXPECT_TRUE(failures.empty()) << "a 404 is the server's normal 'no manifest'";
    missing.statusLine = "HTTP/1.1 500 Internal Server Error";
    Server.Script("/configinfo.xml", missing);
    EXPECT_EQ(LoadManifest(Server.Url("configinfo.xml"), WorkDir, {}, note), nullptr);
    EXPECT_EQ(failures, std::vector<std::string>{"HTTP 500 Internal Server Error"});
}

TEST_F(LoadManifestTest, AbortFromTheCallbackGivesNoManifest) {
    Server.Script("/configinfo.xml", Ok(Standard));
    bool noted = false;
    EXPECT_EQ(LoadManifest(
                  Server.Url("configinfo.xml"), WorkDir,
                  [](void*, TWorkMode, std::int64_t) { throw EAbort(); },
                  [&](const std::string&) { noted = true; }),
              nullptr);
    EXPECT_FALSE(noted) << "a cancel is no failure";
}

TEST_F(LoadManifestTest, MalformedManifestGivesNoManifest) {
    Server.Script("/configinfo.xml", Ok("<configinfo><dev>"));
    std::string failure;
    EXPECT_EQ(LoadManifest(Server.Url("configinfo.xml"), WorkDir, {},
                           [&](const std::string& reason) { failure = reason; }),
              nullptr);
    EXPECT_EQ(failure, "not a well-formed manifest");
}

TEST_F(LoadManifestTest, OversizedManifestIsNotDownloadedWhole) {
    TScriptedResponse huge;
    huge.generatedLength = 64 * 1024 * 1024;
    Server.Script("/configinfo.xml", huge);
    EXPECT_EQ(LoadManifest(Server.Url("configinfo.xml"), WorkDir, {}), nullptr);
    EXPECT_LT(test::ReadFile(Folder / "configinfo.xml.part").size(), 8u * 1024 * 1024);
}

TEST_F(LoadManifestTest, ManifestOutlivesItsLoaderAndTheFile) {
    Server.Script("/configinfo.xml", Ok(Standard));
    auto manifest = LoadManifest(Server.Url("configinfo.xml"), WorkDir, {});
    ASSERT_TRUE(manifest);
    std::remove((Folder / "configinfo.xml").c_str());
    std::string date, url;
    ReadManifestEntry(manifest, "partner", date, url);
    EXPECT_EQ(date, "2024-06-01");
}

} // namespace
} // namespace kalmora

// --- the fuzz target's seeds: read from memory exactly as from a file ------------------------------------

namespace kalmora {
namespace {

struct TEntries {
    bool Parsed = false;
    std::vector<std::string> Values; // date, url per kind, or the error text
    bool operator==(const TEntries&) const = default;
};

TEntries EntriesOf(const TManifest& manifest) {
    TEntries entries{manifest != nullptr, {}};
    for (const char* kind : {"dev", "partner", "patch"}) {
        std::string date, url;
        try {
            ReadManifestEntry(manifest, kind, date, url);
            entries.Values.insert(entries.Values.end(), {date, url});
        } catch (const EManifestError& e) {
            entries.Values.push_back(e.Message());
        }
    }
    return entries;
}

class ManifestSeedTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ManifestSeedTest, BytesReadLikeTheFile) {
    std::string file = std::string(KALMORA_MANIFEST_SEEDS_DIR) + "/" + GetParam();
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(EntriesOf(ParseManifestBytes(bytes)), EntriesOf(ParseManifestFile(file)));
}

INSTANTIATE_TEST_SUITE_P(Seeds, ManifestSeedTest,
                         ::testing::Values("manifest.xml", "namespaced.xml", "doctype.xml", "two-texts.xml",
                                           "truncated.xml"),
                         [](const auto& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(ManifestSeedContentTest, TheFullSeedReadsEveryKind) {
    std::ifstream in(std::string(KALMORA_MANIFEST_SEEDS_DIR) + "/manifest.xml", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TEntries entries = EntriesOf(ParseManifestBytes(bytes));
    ASSERT_TRUE(entries.Parsed);
    EXPECT_EQ(entries.Values[2], "2026-12-05");
    EXPECT_EQ(entries.Values[3], "http://127.0.0.1/kmdata/kmconfig/partner.zip");
    EXPECT_EQ(entries.Values[1], ConfigBaseUrl() + "packages/dev-20261201.zip");
    // Only the upper-case placeholder marks a URL that has one.
    EXPECT_EQ(entries.Values[5], "#kmconfigdir#patch.zip");
}

} // namespace
} // namespace kalmora

namespace kalmora {
namespace {

TEST(ManifestQuietTest, ABrokenEncodingWritesNothingToStderr) {
    const std::string broken("<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?><r>\x1b$B\x00\x00\x00\x00</r>",
                             48);
    testing::internal::CaptureStderr();
    ParseManifestBytes(broken);
    ParseManifestBytes(std::string("\xff\xfe<\x00r\x00\x00\xd8/\x00>\x00", 12));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace kalmora
