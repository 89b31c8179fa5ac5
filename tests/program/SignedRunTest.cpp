// kalmora-updater in signed mode against a real nginx, with keys and signatures made by the minisign tool
// and hashes by sha256sum. The loopback server only injects the endless answer.

#include "UpdaterRunFixture.h"
#include "support/NginxServer.h"
#include "support/ToolProcess.h"

#include <functional>

namespace fs = std::filesystem;
using namespace kalmora;
using namespace kalmora::test;

namespace {

constexpr std::string_view Timestamp = "1796903027";

const Tree OldDev = {{"devices/old.ini", "old"}};
const Tree NewDev = {{"dev/devices/new.ini", "new"}};
const Tree NewPartner = {{"partner/p.ini", "new p"}};

std::string Tool(const std::string& program, const std::vector<std::string>& args) {
    const TToolRun run = RunProgram(program, args);
    if (run.Exit != 0)
        throw std::runtime_error(program + " failed: " + run.Err);
    return run.Out;
}

// The cases' arrangements reach into the fixture, so everything in it is public.
class SignedRun : public UpdaterRun {
public:
    using UpdaterRun::served;
    using UpdaterRun::Set;

    void SetUp() override {
        UpdaterRun::SetUp();
        for (const char* key : {"trusted", "other"})
            Tool("/usr/bin/minisign", {"-G", "-W", "-p", Key(key, "pub"), "-s", Key(key, "key")});
        Set("UpdateSigningKeys", KeyLine("trusted"));
        WriteTree(config + "dev", OldDev);
        MakeZip(config + "partner/partner.zip", {{"partner/p.ini", "seed"}});
        entries = {Offer("dev", "2026-12-01", NewDev), Offer("partner", "2026-12-05", NewPartner)};
    }

    std::string Key(const std::string& name, const std::string& ending) const {
        return root + "/" + name + "." + ending;
    }
    std::string KeyLine(const std::string& name) const {
        std::istringstream pub(ReadFile(Key(name, "pub")));
        std::string line;
        std::getline(pub, line);
        std::getline(pub, line);
        return line;
    }
    // The .pub comment leaves out leading zeros of the id; the updater names all 16 digits.
    std::string KeyId(const std::string& name) const {
        const std::string pub = ReadFile(Key(name, "pub"));
        const std::size_t end = pub.find('\n'), start = pub.rfind(' ', end) + 1;
        const std::string id = pub.substr(start, end - start);
        return std::string(16 - id.size(), '0') + id;
    }

    struct TOffer {
        std::string kind, date, url, sha256, size;
    };
    // A package on the server with the sha256 and size its manifest entry gives.
    TOffer Offer(const std::string& kind, const std::string& date, const Tree& files,
                 const std::string& password = {}) {
        const std::string url = Package(kind, date, files, password);
        const std::string file = served + url.substr(std::string("#KMCONFIGDIR#").size());
        return {kind, date, url, Tool("/usr/bin/sha256sum", {file}).substr(0, 64),
                std::to_string(fs::file_size(file))};
    }

    // Writes the manifest and, unless signingKey is empty, signs it with minisign.
    void Publish() {
        std::ofstream out(served + "configinfo.xml");
        out << "<?xml version=\"1.0\"?>\n<kmconfig>\n";
        for (const auto& e : entries) {
            out << "<" << e.kind << "><date>" << e.date << "</date><url>" << e.url << "</url>";
            if (!e.sha256.empty())
                out << "<sha256>" << e.sha256 << "</sha256>";
            out << "<size>" << e.size << "</size></" << e.kind << ">\n";
        }
        out << "</kmconfig>\n";
        out.close();
        if (!signingKey.empty())
            Tool("/usr/bin/minisign",
                 {"-S", "-s", Key(signingKey, "key"), "-m", served + "configinfo.xml", "-t", trustedComment});
    }

    bool NginxRequested(const std::string& part) const {
        for (const auto& request : nginx.Requests())
            if (request.target.find(part) != std::string::npos)
                return true;
        return false;
    }

    std::vector<TOffer> entries;
    std::string signingKey = "trusted";
    std::string trustedComment = "timestamp:" + std::string(Timestamp) + "\tfile:configinfo.xml\thashed";

    const std::string servedRoot = [this] {
        fs::create_directories(root + "/server");
        return root + "/server";
    }();
    TNginxServer nginx{servedRoot};
    TScopedEnvironment NginxBase{"KALMORA_CONFIG_BASE_URL", nginx.Url("kmdata/kmconfig/")};
    const std::string manifestUrl = nginx.Url("kmdata/kmconfig/configinfo.xml");
};

} // namespace

TEST_F(SignedRun, CorrectlySignedTreeInstallsEverythingAndRecordsItsTimestamp) {
    Password("secret");
    entries.push_back(Offer("patch", "2026-12-07", {{"patch/bin/a.dll", "new a"}}, "secret"));
    Set("UpdateSigningKeys", KeyLine("other") + " ;\n" + KeyLine("trusted"));
    Publish();
    EXPECT_EQ(Run(), 0) << Stderr;
    EXPECT_EQ(Stderr, "");
    EXPECT_EQ(ReadTree(config + "dev"), (Tree{{"devices/new.ini", "new"}}));
    EXPECT_EQ(ReadTree(config + "partner"), (Tree{{"p.ini", "new p"}}));
    EXPECT_EQ(ReadTree(install), (Tree{{"bin/a.dll", "new a"}}));
    EXPECT_EQ(Recorded("patch"), "2026-12-07");
    EXPECT_EQ(Get("lastmanifesttimestamp"), Timestamp);
    EXPECT_TRUE(NginxRequested("configinfo.xml.minisig"));
}

struct TRefusal {
    const char* name;
    std::function<void(SignedRun&)> arrange;
    // MANIFEST stands for the manifest's URL, DEV for dev's package URL, SUM and SIZE for its true values.
    std::vector<std::string> lines;
    bool manifestRefused; // else only dev fails and partner goes on
};

void PrintTo(const TRefusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class SignedRefusal : public SignedRun, public ::testing::WithParamInterface<TRefusal> {};

TEST_P(SignedRefusal, FailsWithItsLineAndInstallsOnlyWhatIsStillTrusted) {
    const std::string sum = entries[0].sha256, size = entries[0].size;
    GetParam().arrange(*this);
    const bool accepted = !GetParam().manifestRefused && Get("UpdateSigningKeys") != "";
    const std::string lastTimestamp = Get("lastmanifesttimestamp");
    EXPECT_EQ(Run(), 1);
    std::vector<std::string> expected;
    for (std::string line : GetParam().lines) {
        for (auto [word, value] : {std::pair{"MANIFEST", manifestUrl},
                                   {"DEV", nginx.Url("kmdata/kmconfig/packages/dev-2026-12-01.zip")},
                                   {"SUM", sum},
                                   {"SIZE", std::to_string(std::stoull(size) - 1)},
                                   {"OTHER", KeyId("other")}})
            if (auto at = line.find(word); at != std::string::npos)
                line.replace(at, std::string(word).size(), value);
        expected.push_back("kalmora-updater: " + line);
    }
    EXPECT_EQ(StderrLines(), expected);
    // dev stays as it was, and nothing of its package lies where the next run would take it for a seed.
    EXPECT_EQ(ReadTree(config + "dev"), OldDev);
    EXPECT_EQ(Recorded("dev"), "<absent>");
    EXPECT_TRUE(fs::is_empty(root + "/tmp"));
    // The partner seed is the administrator's own and goes in whatever the server says.
    EXPECT_EQ(Recorded("partner"), GetParam().manifestRefused ? "init" : "2026-12-05");
    EXPECT_EQ(NginxRequested("packages/"), !GetParam().manifestRefused);
    EXPECT_EQ(Get("lastmanifesttimestamp"), accepted ? std::string(Timestamp) : lastTimestamp);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignedRefusal,
    ::testing::Values(
        TRefusal{"SignatureMissing",
                 [](SignedRun& r) {
                     r.signingKey.clear();
                     r.Publish();
                 },
                 {"manifest: MANIFEST.minisig: no signature: HTTP 404 Not Found"},
                 true},
        TRefusal{"UnknownKey",
                 [](SignedRun& r) {
                     r.signingKey = "other";
                     r.Publish();
                 },
                 {"manifest: MANIFEST.minisig: unknown key id OTHER"},
                 true},
        TRefusal{"ManifestChangedAfterSigning",
                 [](SignedRun& r) {
                     r.Publish();
                     std::ofstream(r.served + "configinfo.xml", std::ios::app) << "<!-- -->\n";
                 },
                 {"manifest: MANIFEST.minisig: bad signature"},
                 true},
        TRefusal{"OlderThanTheRecordedOne",
                 [](SignedRun& r) {
                     r.Set("lastmanifesttimestamp", "1796903028");
                     r.Publish();
                 },
                 {"manifest: MANIFEST.minisig: replayed manifest: its timestamp 1796903027 is older than the "
                  "recorded 1796903028"},
                 true},
        TRefusal{"NoSha256",
                 [](SignedRun& r) {
                     r.entries[0].sha256.clear();
                     r.Publish();
                 },
                 {"dev: DEV: no sha256 for dev in the signed manifest"},
                 false},
        TRefusal{"PackageDiffersFromItsHash",
                 [](SignedRun& r) {
                     r.entries[0].sha256 = std::string(64, 'A');
                     r.Publish();
                 },
                 {"dev: DEV: SHA-256 SUM, the manifest gives " + std::string(64, 'a')},
                 false},
        TRefusal{"UnsignedPackageDiffersFromItsHash",
                 [](SignedRun& r) {
                     r.Set("UpdateSigningKeys", "");
                     r.signingKey.clear();
                     r.entries[0].sha256 = std::string(64, 'b');
                     r.Publish();
                 },
                 {"dev: DEV: SHA-256 SUM, the manifest gives " + std::string(64, 'b')},
                 false},
        TRefusal{"PackageLargerThanItsSize",
                 [](SignedRun& r) {
                     r.entries[0].size = std::to_string(std::stoull(r.entries[0].size) - 1);
                     r.Publish();
                 },
                 {"dev: DEV: more than the SIZE bytes the manifest gives as its size"},
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SignedRun, APerUserKeyIsIgnoredWithOneWarningInTheDebugLog) {
    ASSERT_TRUE(WriteRegistryString("UpdateSigningKeys", KeyLine("other"), {}, true));
    signingKey = "other";
    Publish();
    TScopedEnvironment warnings{"KALMORA_DEBUG_LEVEL", "0x7E814002"};
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(StderrLines(), std::vector<std::string>{"kalmora-updater: manifest: " + manifestUrl +
                                                      ".minisig: unknown key id " + KeyId("other")});
    const std::string log = ReadFile(root + "/kalmora-updater.Debug.log");
    const auto at = log.find("per-user value UpdateSigningKeys is ignored");
    EXPECT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("per-user value", at + 1), std::string::npos) << log;
    EXPECT_FALSE(NginxRequested("packages/"));
}

TEST_F(SignedRun, AValueThatIsNoKeyEndsTheRunBeforeAnyRequest) {
    Set("UpdateSigningKeys", KeyLine("trusted") + ";" + ReadFile(Key("other", "pub")));
    Publish();
    EXPECT_EQ(Run(), 3);
    EXPECT_EQ(StderrLines(),
              std::vector<std::string>{"kalmora-updater: setting UpdateSigningKeys: "
                                       "\"untrusted\": not a minisign public key: not base64"});
    EXPECT_EQ(Recorded("partner"), "<absent>");
    EXPECT_TRUE(nginx.Requests().empty());
}

TEST_F(SignedRun, AnEndlessPackageIsCutOffAtItsSize) {
    TScriptedResponse endless;
    endless.generatedLength = std::uint64_t{1} << 40;
    server.Script("/endless.zip", endless);
    entries[0].url = server.Url("endless.zip");
    entries[0].size = "100000";
    Publish();
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(StderrLines(),
              std::vector<std::string>{"kalmora-updater: dev: " + server.Url("endless.zip") +
                                       ": more than the 100000 bytes the manifest gives as its size"});
    EXPECT_EQ(ReadTree(config + "dev"), OldDev);
    EXPECT_TRUE(fs::is_empty(root + "/tmp"));
}
