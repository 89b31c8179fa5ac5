#include "UtilBox/Registry.h"
#include "kmConfigUpdaterThread/ManifestTrust.h"
#include "kmConfigUpdaterThread/PackageCheck.h"
#include "lmDebug/lmDebug.h"
#include "registry/RegKey.h"
#include "support/HiveEnvironment.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalmora;
using namespace kalmora::test;

namespace {

const std::string Vectors = KALMORA_SIGNATURE_VECTORS_DIR;
constexpr std::uint64_t VectorTimestamp = 1796903027;

std::string KeyLine(const std::string& pubFile) {
    const std::string text = ReadFile(Vectors + "/" + pubFile);
    const auto start = text.find('\n') + 1;
    return text.substr(start, text.find('\n', start) - start);
}

std::string Reason(const std::function<void()>& call) {
    try {
        call();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "accepted";
}

void SetMachineValue(const std::string& name, std::uint32_t type, const std::string& data) {
    registry::TRegKey key;
    ASSERT_EQ(registry::TRegKey::OpenOrCreate(registry::THive::Standard(registry::HiveId::LocalMachine),
                                              std::string(ProductRegistryKey), key),
              registry::RegStatus::Ok);
    ASSERT_EQ(key.SetValue(name, type, data), registry::RegStatus::Ok);
}

class Trust : public ::testing::Test {
protected:
    void TearDown() override {
        SetDebugOutputHook({});
        SetDebugLevel(DefaultDebugLevel);
    }
    TTestFolder Folder;
    THiveEnvironment Hives{Folder.Path()};
};

} // namespace

TEST(SigningKeys, ListsTakeBlanksLineBreaksAndSemicolonsAndNameTheFirstEntryThatIsNoKey) {
    const std::string a = KeyLine("key-a.pub"), b = KeyLine("key-b.pub");
    EXPECT_EQ(ParseSigningKeyList(" \n;").size(), 0u);
    const auto keys = ParseSigningKeyList(a + ";\r\n\t" + b + " ;");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(MinisignKeyIdText(keys[1].KeyId), "A941A5DDC1408255");
    // The whole .pub file pasted in: its comment is no key.
    EXPECT_EQ(Reason([&] { ParseSigningKeyList(a + " " + ReadFile(Vectors + "/key-b.pub")); }),
              "\"untrusted\": not a minisign public key: not base64");
}

TEST(ManifestTimestamp, IsTheDecimalTimestampFieldOfTheTrustedComment) {
    const std::vector<std::pair<std::string, std::optional<std::uint64_t>>> cases = {
        {"timestamp:1796903027\tfile:configinfo.xml\thashed", 1796903027},
        {"file:configinfo.xml\ttimestamp:0", 0},
        {"timestamp:18446744073709551615", UINT64_MAX},
        {"timestamp:18446744073709551616", std::nullopt},
        {"timestamp:", std::nullopt},
        {"timestamp:-5", std::nullopt},
        {"timestamp:12 \tfile:x", std::nullopt},
        {"file:timestamp:12", std::nullopt},
        {"signed at timestamp:12", std::nullopt},
    };
    for (const auto& [comment, expected] : cases)
        EXPECT_EQ(TrustedCommentTimestamp(comment), expected) << comment;
}

TEST(ManifestSignature, AcceptsTheRecordedTimestampAndNewerAndRefusesAnOlderOneNamingBoth) {
    const std::string manifest = ReadFile(Vectors + "/configinfo.xml");
    const std::string signature = ReadFile(Vectors + "/hashed.minisig");
    const std::vector<TMinisignKey> keys = ParseSigningKeyList(KeyLine("key-a.pub"));
    for (auto last :
         {std::optional<std::uint64_t>(), std::optional(VectorTimestamp - 1), std::optional(VectorTimestamp)})
        EXPECT_EQ(VerifyManifestSignature(manifest, signature, keys, last).Timestamp, VectorTimestamp);
    EXPECT_EQ(Reason([&] { VerifyManifestSignature(manifest, signature, keys, VectorTimestamp + 1); }),
              "replayed manifest: its timestamp 1796903027 is older than the recorded 1796903028");
    // A valid signature whose comment has no timestamp (minisign -t "file:configinfo.xml").
    const std::string untimed = ReadFile(Vectors + "/untimed.minisig");
    EXPECT_EQ(Reason([&] { VerifyManifestSignature(manifest, untimed, keys, {}); }),
              "no timestamp in the trusted comment: file:configinfo.xml");
}

TEST_F(Trust, OnlyTheMachineWideKeysCountAndAPerUserValueIsLoggedOnce) {
    std::vector<std::string> log;
    SetDebugOutputHook([&log](const std::string& line) { log.push_back(line); });
    SetDebugLevel((DebugEnableCode << 16) | DebugBits::WarningsToDebugger | DebugFlags::Warning);
    std::string problem;
    ASSERT_TRUE(WriteRegistryString(std::string(SigningKeysValue), KeyLine("key-b.pub"), {}, true));
    EXPECT_FALSE(ReadManifestTrust(problem).SignedMode());
    EXPECT_EQ(problem, "");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("per-user value UpdateSigningKeys is ignored"), std::string::npos) << log[0];

    // A multi-string value gives one key per string.
    SetMachineValue(std::string(SigningKeysValue), registry::REG_MULTI_SZ,
                    KeyLine("key-a.pub") + '\0' + KeyLine("key-b.pub") + '\0' + '\0');
    SetMachineValue(std::string(LastManifestTimestampValue), registry::REG_SZ, registry::StringData("17"));
    const TManifestTrust trust = ReadManifestTrust(problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(trust.Keys.size(), 2u);
    EXPECT_EQ(trust.LastTimestamp, 17u);
}

TEST_F(Trust, AMalformedMachineValueIsAProblemNamingIt) {
    const std::vector<std::tuple<std::string, std::uint32_t, std::string, std::string>> cases = {
        {std::string(SigningKeysValue), registry::REG_SZ, registry::StringData(KeyLine("key-a.pub") + ",x"),
         "setting UpdateSigningKeys: \"" + KeyLine("key-a.pub") +
             ",x\": not a minisign public key: not base64"},
        {std::string(SigningKeysValue), registry::REG_DWORD, std::string(4, '\1'),
         "setting UpdateSigningKeys: not a text value"},
        {std::string(LastManifestTimestampValue), registry::REG_SZ, registry::StringData("12x"),
         "setting lastmanifesttimestamp: not a decimal number: 12x"},
    };
    for (const auto& [name, type, data, expected] : cases) {
        SetMachineValue(std::string(SigningKeysValue), registry::REG_SZ,
                        registry::StringData(KeyLine("key-a.pub")));
        SetMachineValue(name, type, data);
        std::string problem;
        EXPECT_FALSE(ReadManifestTrust(problem).SignedMode()) << expected;
        EXPECT_EQ(problem, expected);
    }
}

TEST(PackageDigest, OnlyHexDigitsAndDecimalSizesAreTaken) {
    const std::string upper(64, 'A');
    EXPECT_EQ(ParsePackageDigest(upper, "0").Sha256, std::string(64, 'a'));
    EXPECT_FALSE(ParsePackageDigest("", "").Any());
    for (auto [sha256, size] :
         std::vector<std::pair<std::string, std::string>>{{std::string(63, 'a'), ""},
                                                          {std::string(65, 'a'), ""},
                                                          {std::string(63, 'a') + "g", ""},
                                                          {"", "-1"},
                                                          {"", "+1"},
                                                          {"", "1e3"},
                                                          {"", "0x10"},
                                                          {"", "99999999999999999999"}})
        EXPECT_THROW(ParsePackageDigest(sha256, size), EPackageCheckError) << sha256 << size;
}

TEST(PackageCheck, StopsBeforeTheFirstByteBeyondTheSizeAndNamesBothValuesOfAMismatch) {
    // sha256 of "abc"
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    auto run = [](TPackageDigest digest, std::vector<std::string> blocks) {
        return Reason([&] {
            TPackageCheck check(digest);
            for (const auto& block : blocks)
                check.Block(block.data(), block.size());
            check.Complete();
        });
    };
    EXPECT_EQ(run({abc, 3}, {"a", "", "bc"}), "accepted");
    EXPECT_EQ(run({"", 3}, {"ab", "cd"}), "more than the 3 bytes the manifest gives as its size");
    EXPECT_EQ(run({"", 3}, {"ab"}), "size 2 bytes, the manifest gives 3");
    EXPECT_EQ(
        run({abc, {}}, {"abd"}),
        "SHA-256 a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9, the manifest gives " +
            abc);
    TTestFolder folder;
    WriteFile(folder / "p.zip", "abc");
    EXPECT_NO_THROW(CheckPackageFile(folder / "p.zip", {abc, 3}));
    EXPECT_THROW(CheckPackageFile(folder / "p.zip", {abc, 4}), EPackageCheckError);
}
