#include "lmSignature/Minisign.h"

#include "lmSignature/Sha256.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

using namespace kalmora;

namespace {

const std::string Vectors = KALMORA_SIGNATURE_VECTORS_DIR;
// The id minisign printed into key-a.pub's comment.
constexpr std::string_view KeyAId = "FB435705965EBC35";

std::string Read(const std::string& name) {
    std::ifstream in(Vectors + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Line(const std::string& text, int number) {
    std::istringstream in(text);
    std::string line;
    for (int i = 0; i < number; ++i)
        std::getline(in, line);
    return line;
}

TMinisignKey KeyOf(const std::string& pubFile) {
    return ParseMinisignKey(Line(Read(pubFile), 2));
}

// Replaces the character at `at` of line `number` (counted from 1) by another letter of the same kind.
std::string ChangeCharacter(std::string file, int number, std::size_t at) {
    std::size_t start = 0;
    for (int i = 1; i < number; ++i)
        start = file.find('\n', start) + 1;
    char& c = file[start + at];
    c = c == 'A' ? 'B' : c == '8' ? '9' : 'A';
    return file;
}

struct TFault {
    const char* name;
    std::string (*message)(std::string);
    std::string (*signature)(std::string);
    std::vector<TMinisignKey> (*keys)();
    std::string reason; // the start of the reason
};

std::string Same(std::string text) {
    return text;
}
std::vector<TMinisignKey> KeyA() {
    return {KeyOf("key-b.pub"), KeyOf("key-a.pub")};
}

const TFault Faults[] = {
    {"FlippedFileByte", [](std::string m) { return m.replace(30, 1, "X"); }, Same, KeyA, "bad signature"},
    {"TruncatedFile", [](std::string m) { return m.substr(0, m.size() - 1); }, Same, KeyA, "bad signature"},
    {"FlippedSignatureByte", Same, [](std::string s) { return ChangeCharacter(s, 2, 60); }, KeyA,
     "bad signature"},
    {"KeyIdMatchesButNotTheKey", Same, Same,
     [] {
         TMinisignKey forged = KeyOf("key-b.pub");
         forged.KeyId = KeyOf("key-a.pub").KeyId;
         return std::vector{forged};
     },
     "bad signature"},
    {"UnknownKeyId", Same, Same, [] { return std::vector{KeyOf("key-b.pub")}; },
     "unknown key id " + std::string(KeyAId)},
    {"NoKeys", Same, Same, [] { return std::vector<TMinisignKey>{}; }, "unknown key id"},
    {"FlippedTrustedComment", Same,
     [](std::string s) { return s.replace(s.find("1796903027"), 10, "1796903028"); }, KeyA,
     "bad comment signature"},
    {"FlippedCommentSignature", Same, [](std::string s) { return ChangeCharacter(s, 4, 20); }, KeyA,
     "bad comment signature"},
    {"NoUntrustedComment", Same, [](std::string s) { return s.substr(2); }, KeyA, "malformed line 1"},
    {"UnknownAlgorithm", Same, [](std::string s) { return ChangeCharacter(s, 2, 1); }, KeyA,
     "malformed line 2: unknown signature algorithm"},
    {"SignatureNotBase64", Same, [](std::string s) { return s.replace(s.find('\n') + 5, 1, "*"); }, KeyA,
     "malformed line 2: not base64"},
    {"TrustedCommentWithoutPrefix", Same,
     [](std::string s) { return s.replace(s.find("\ntrusted comment: "), 9, "\ntrusted:"); }, KeyA,
     "malformed line 3"},
    {"CommentSignatureMissing", Same, [](std::string s) { return s.substr(0, s.rfind('\n', s.size() - 2)); },
     KeyA, "malformed line 4: missing"},
    {"CommentSignatureCut", Same, [](std::string s) { return s.substr(0, s.size() - 10) + "\n"; }, KeyA,
     "malformed line 4"},
    {"TextAfterTheLastLine", Same, [](std::string s) { return s + "more\n"; }, KeyA, "malformed line 5"},
};

class MinisignFault : public ::testing::TestWithParam<std::tuple<const char*, TFault>> {};

} // namespace

TEST(Minisign, ToolSignaturesVerifyInBothFormatsAndWithLineEndsOfEitherKind) {
    const std::string message = Read("configinfo.xml");
    for (const char* file : {"hashed.minisig", "legacy.minisig"}) {
        std::string crlf;
        for (char c : Read(file))
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        for (const std::string& signature : {Read(file), crlf}) {
            const auto verified = VerifyMinisign(message, signature, KeyA());
            EXPECT_EQ(MinisignKeyIdText(verified.KeyId), KeyAId) << file;
            EXPECT_EQ(verified.TrustedComment, Line(Read(file), 3).substr(17)) << file;
        }
    }
}

TEST_P(MinisignFault, IsRefusedWithItsReason) {
    const auto& [file, fault] = GetParam();
    try {
        VerifyMinisign(fault.message(Read("configinfo.xml")), fault.signature(Read(file)), fault.keys());
        FAIL() << "verified";
    } catch (const ESignatureError& e) {
        EXPECT_EQ(std::string(e.Message()).substr(0, fault.reason.size()), fault.reason) << e.Message();
    }
}

INSTANTIATE_TEST_SUITE_P(Both, MinisignFault,
                         ::testing::Combine(::testing::Values("hashed.minisig", "legacy.minisig"),
                                            ::testing::ValuesIn(Faults)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)).substr(0, 6) + "_" +
                                    std::get<1>(info.param).name;
                         });

TEST(Minisign, OnlyAPublicKeyLineIsAKey) {
    EXPECT_EQ(MinisignKeyIdText(ParseMinisignKey("  " + Line(Read("key-a.pub"), 2) + "\n").KeyId), KeyAId);
    const std::string signatureLine = Line(Read("hashed.minisig"), 2);
    for (const std::string& text : {std::string(), Read("key-a.pub"), signatureLine,
                                    "Q" + Line(Read("key-a.pub"), 2).substr(1), std::string("RWTSBWME 7io5")})
        EXPECT_THROW(ParseMinisignKey(text), ESignatureError) << text;
}

TEST(Sha256, KnownDigestsPieceByPieceAndOfAFile) {
    TSha256 hash;
    hash.Update("ab", 2);
    hash.Update("c", 1);
    EXPECT_EQ(HexText(hash.Final()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // sha256sum configinfo.xml
    EXPECT_EQ(Sha256OfFile(Vectors + "/configinfo.xml"),
              "03b78edf8c221bc424747353c36fc4395209dabb12330cd9e51b1f700a4571e9");
    EXPECT_THROW(Sha256OfFile(Vectors + "/no-such-file"), EInOutError);

    // The background hasher gives the same digest over many chunks fed in odd pieces.
    std::string data(5 * 1024 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7919 % 251);
    TSha256 direct;
    direct.Update(data.data(), data.size());
    TBackgroundSha256 background;
    for (std::size_t at = 0, piece = 1; at < data.size(); at += piece, piece = piece * 3 % 400009 + 1)
        background.Update(data.data() + at, std::min(piece, data.size() - at));
    EXPECT_EQ(background.Final(), direct.Final());
    TBackgroundSha256 abandoned;
    abandoned.Update(data.data(), data.size()); // destroyed unfinished: the thread is stopped and joined
}
