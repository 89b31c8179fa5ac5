// Method 97: WavPack streams made by the wavpack tool from WAV files, extracted back into the byte-identical
// WAV (header, samples in their original format, trailing chunks), plain and encrypted; damaged streams fail
// their entry alone.

#include "ZipTestSupport.h"

#include <cmath>
#include <filesystem>
#include <gmock/gmock.h>

namespace kalmora::test {
namespace {

using ::testing::IsEmpty;

const std::string Fixtures = KALMORA_ZIP_FIXTURES_DIR;

const std::vector<std::string> WavNames = {"mono8",  "stereo8",  "mono16",          "stereo16",
                                           "mono24", "stereo24", "stereo16-trailer"};

class WavPackFixtureTest : public ZipExtractFixture, public ::testing::WithParamInterface<TFixtureArchive> {};

TEST_P(WavPackFixtureTest, RestoresEveryWavByteIdentical) {
    TZipArchive zip;
    zip.Password = GetParam().password;
    auto failures = ExtractFile(Fixtures + "/" + GetParam().archive, zip);
    EXPECT_THAT(failures, IsEmpty()) << FailureNames(failures);
    for (const auto& name : WavNames)
        EXPECT_TRUE(OutFile(name + ".wav") == ReadFileBytes(Fixtures + "/wavpack-" + name + ".wav")) << name;
}

INSTANTIATE_TEST_SUITE_P(WavPack, WavPackFixtureTest,
                         ::testing::Values(TFixtureArchive{"plain", "wavpack.zip", ""},
                                           TFixtureArchive{"ZipCrypto", "wavpack-zc.zip", "geheim"}),
                         [](const auto& info) { return info.param.label; });

struct TDamage {
    std::string label;
    std::string (*damage)(std::string wv);
    std::optional<uint64_t> declaredSize; // instead of the WAV's size
};

class WavPackDamageTest : public ZipExtractFixture, public ::testing::WithParamInterface<TDamage> {};

TEST_P(WavPackDamageTest, FailsItsEntryOnly) {
    std::string wav = ReadFileBytes(Fixtures + "/wavpack-stereo16-trailer.wav");
    std::string wv = GetParam().damage(ReadFileBytes(Fixtures + "/wavpack-stereo16-trailer.wv"));
    auto archive = TZipTestBuilder()
                       .Add(RawEntry("bad.wav", wav, 97, wv, GetParam().declaredSize))
                       .AddFile("ok.txt", "unberuehrt")
                       .Build();
    auto failures = Extract(archive);
    ASSERT_EQ(failures.size(), 1u) << FailureNames(failures);
    EXPECT_EQ(failures[0].name, "bad.wav");
    EXPECT_EQ(OutTree(), std::vector<std::string>{"ok.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    WavPack, WavPackDamageTest,
    ::testing::Values(TDamage{"Empty", [](std::string) { return std::string(); }, {}},
                      TDamage{"HeaderOnly", [](std::string wv) { return wv.substr(0, 32); }, {}},
                      TDamage{"Half", [](std::string wv) { return wv.substr(0, wv.size() / 2); }, {}},
                      TDamage{
                          "LastBytesMissing", [](std::string wv) { return wv.substr(0, wv.size() - 9); }, {}},
                      TDamage{"SampleBitsFlipped",
                              [](std::string wv) {
                                  wv[wv.size() * 2 / 3] ^= 0x5A;
                                  return wv;
                              },
                              {}},
                      TDamage{"NotWavPack", [](std::string wv) { return std::string(wv.size(), 'x'); }, {}},
                      TDamage{"DeclaredSizeTooSmall", [](std::string wv) { return wv; }, 8000}),
    [](const auto& info) { return info.param.label; });

// A longer recording spans many WavPack blocks, so the trailer travels in a later block than the header.
class WavPackToolTest : public ZipExtractFixture, public ::testing::WithParamInterface<int> {};

std::string LongWav(int bits, unsigned channels, size_t frames) {
    auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
    unsigned width = static_cast<unsigned>(bits) / 8;
    std::string data;
    for (size_t i = 0; i < frames; ++i)
        for (unsigned c = 0; c < channels; ++c) {
            double v = std::sin(static_cast<double>(i) * (0.01 + 0.004 * c)) * 0.7;
            int32_t sample = static_cast<int32_t>(v * ((1 << (bits - 1)) - 1));
            if (bits == 8)
                sample += 0x80;
            for (unsigned b = 0; b < width; ++b)
                data += static_cast<char>(sample >> (8 * b));
        }
    std::string fmt = u16(1) + u16(channels) + u32(44100) + u32(44100 * channels * width) +
                      u16(channels * width) + u16(static_cast<uint32_t>(bits));
    std::string trailer = "LIST" + u32(12) + "INFOIART" + u32(0);
    std::string body = "WAVEfmt " + u32(static_cast<uint32_t>(fmt.size())) + fmt + "data" +
                       u32(static_cast<uint32_t>(data.size())) + data + (data.size() % 2 ? "\\0" : "") +
                       trailer;
    return "RIFF" + u32(static_cast<uint32_t>(body.size())) + body;
}

TEST_P(WavPackToolTest, ManyBlocksWithTrailer) {
    if (!HaveTool("wavpack"))
        GTEST_SKIP() << "wavpack is not installed";
    int bits = GetParam();
    std::string wav = LongWav(bits, bits == 16 ? 2 : 1, 400000);
    WriteFileBytes(Temp() + "/in.wav", wav);
    ASSERT_EQ(RunShell("wavpack -q -y '" + Temp() + "/in.wav' -o '" + Temp() + "/out.wv'"), 0);
    std::string wv = ReadFileBytes(Temp() + "/out.wv");
    auto archive = TZipTestBuilder().Add(RawEntry("long.wav", wav, 97, wv)).Build();
    auto failures = Extract(archive, "");
    EXPECT_THAT(failures, IsEmpty()) << FailureNames(failures);
    EXPECT_TRUE(OutFile("long.wav") == wav);
}

INSTANTIATE_TEST_SUITE_P(WavPack, WavPackToolTest, ::testing::Values(8, 16, 24),
                         [](const auto& info) { return "bits" + std::to_string(info.param); });

} // namespace
} // namespace kalmora::test
