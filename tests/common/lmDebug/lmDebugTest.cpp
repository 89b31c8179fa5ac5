#include "lmDebug/lmDebug.h"

#include "support/TestFolder.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>
#include <vector>

using namespace kalmora;

namespace {

struct Box {
    bool isError;
    std::string caption, text;
};

class DebugLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDebugFileName((dir / "prog.Debug.log").string());
        SetDebugOutputHook([this](const std::string& line) { output.push_back(line); });
        SetDebugBoxHook([this](bool e, const std::string& c, const std::string& t) {
            boxes.push_back({e, c, t});
        });
    }
    void TearDown() override {
        SetDebugOutputHook({});
        SetDebugBoxHook({});
        SetDebugInputHook({});
        SetDebugFileName({});
        SetDebugLevel(DefaultDebugLevel);
    }
    std::string FileText() { return test::ReadFile(dir / "prog.Debug.log"); }
    bool FileExists() { return std::filesystem::exists(dir / "prog.Debug.log"); }

    const test::TTestFolder folder;
    const std::filesystem::path dir = folder.Path();
    std::vector<std::string> output;
    std::vector<Box> boxes;
};

} // namespace

TEST_F(DebugLogTest, DefaultLevelSendsErrorsToTheDebuggerOnly) {
    EXPECT_EQ(SetDebugLevel(DefaultDebugLevel), 0x7E812101u);
    DebugError("T", "", DebugFlags::Error);
    ASSERT_EQ(output.size(), 1u);
    EXPECT_EQ(output[0], "#ERROR: : T");
    DebugLog("started", "", DebugFlags::Lifecycle);
    DebugLog("warned", "", DebugFlags::Warning);
    DebugLog("plain");
    EXPECT_EQ(output.size(), 1u);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(FileExists());
}

TEST_F(DebugLogTest, LocationGetsABlankBeforeTheColon) {
    SetDebugLevel(DefaultDebugLevel);
    DebugError("T", "Main", DebugFlags::Error);
    ASSERT_EQ(output.size(), 1u);
    EXPECT_EQ(output[0], "#ERROR (in 'Main') : : T");
}

TEST_F(DebugLogTest, LevelWithoutEnableCodeSwitchesEverythingOff) {
    EXPECT_EQ(SetDebugLevel(0x12345678), 0u);
    EXPECT_FALSE(IsDebugEnabled());
    for (std::uint16_t flags : {0, 1, 2, 4, 0x100, 0xFFFF})
        DebugLog("x", "", flags);
    EXPECT_TRUE(output.empty());
}

TEST_F(DebugLogTest, FileGetsHeaderThenEntriesWithCrLf) {
    SetDebugLevel((DebugEnableCode << 16) | DebugBits::File | 4);
    DebugLog("first", "", DebugFlags::Lifecycle);
    std::string text = FileText();
    EXPECT_EQ(text.rfind("Debug file was closed. Rewrite debug file.\r\n\r\nLog: , ", 0), 0u) << text;
    EXPECT_TRUE(text.ends_with("\r\nfirst\r\n")) << text;
    DebugLog("second", "Pre", DebugFlags::Lifecycle);
    std::string after = FileText();
    ASSERT_TRUE(after.starts_with(text));
    std::string added = after.substr(text.size());
    EXPECT_EQ(added.rfind("\r\nPre, ", 0), 0u) << added;
    EXPECT_TRUE(added.ends_with("\r\nsecond\r\n")) << added;
    EXPECT_EQ(after.find("Debug file was closed", 1), std::string::npos);
    EXPECT_TRUE(output.empty());
}

TEST_F(DebugLogTest, UnwritableFileIsIgnoredAndRetried) {
    SetDebugFileName((dir / "missing" / "prog.Debug.log").string());
    SetDebugLevel((DebugEnableCode << 16) | DebugBits::File | DebugBits::AllToDebugger);
    DebugLog("lost", "", 0);
    EXPECT_EQ(output.size(), 1u); // the other outputs still work
    std::filesystem::create_directories(dir / "missing");
    DebugLog("kept", "", 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "missing" / "prog.Debug.log"));
}

TEST_F(DebugLogTest, LinkPlantedUnderTheFileNameIsRefusedNotFollowed) {
    const auto victim = dir / "victim";
    { std::ofstream(victim, std::ios::binary) << "keep"; }
    std::filesystem::create_symlink(victim, dir / "prog.Debug.log");
    SetDebugLevel((DebugEnableCode << 16) | DebugBits::File);
    DebugLog("planted", "", 0);
    std::ifstream in(victim, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "keep");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "prog.Debug.log"));
}

TEST_F(DebugLogTest, OpenFileIsNotInheritedByPrograms) {
    SetDebugLevel((DebugEnableCode << 16) | DebugBits::File);
    DebugLog("open", "", 0);
    bool found = false;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(fd.path(), ec) != dir / "prog.Debug.log")
            continue;
        found = true;
        int flags = ::fcntl(std::stoi(fd.path().filename().string()), F_GETFD);
        EXPECT_TRUE(flags & FD_CLOEXEC);
    }
    EXPECT_TRUE(found);
}

TEST_F(DebugLogTest, ErrorBoxBitShowsErrorsOnly) {
    SetDebugLevel((DebugEnableCode << 16) | DebugBits::BoxErrors | 0x0102);
    DebugLog("bad", "", DebugFlags::ErrorHigh);
    DebugLog("meh", "", DebugFlags::Warning);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].isError);
    EXPECT_EQ(boxes[0].caption, "Fehler");
    EXPECT_EQ(boxes[0].text, "DEBUG: Log: \r\n\r\nbad");
}

TEST_F(DebugLogTest, BoxAllShowsWarningsAsWarnings) {
    SetDebugLevel((DebugEnableCode << 16) | DebugBits::BoxAll | 2);
    DebugLog("meh", "P", DebugFlags::Warning);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(boxes[0].isError);
    EXPECT_EQ(boxes[0].caption, "Warnung");
}

TEST_F(DebugLogTest, WarningBitSendsWarningsAndErrors) {
    SetDebugLevel((DebugEnableCode << 16) | DebugBits::WarningsToDebugger | 0x0103);
    DebugLog("w", "", DebugFlags::Warning);
    DebugLog("e", "", DebugFlags::Error);
    DebugLog("other", "", 0);
    EXPECT_EQ(output, (std::vector<std::string>{"Log: : w", "Log: : e"}));
}

TEST_F(DebugLogTest, LevelZeroAsksTheUser) {
    SetDebugLevel(DefaultDebugLevel);
    std::string prompted;
    SetDebugInputHook([&](const std::string& caption, const std::string& prompt, std::string& value) {
        prompted = caption + "/" + prompt + "/" + value;
        value = "$7E814004";
        return true;
    });
    EXPECT_EQ(SetDebugLevel(0), 0x7E814004u);
    EXPECT_EQ(prompted, "Debug/Level/$7E812101");
    SetDebugInputHook([](const std::string&, const std::string&, std::string& value) {
        value = "not a number";
        return true;
    });
    EXPECT_EQ(SetDebugLevel(0), 0u);
    SetDebugLevel(DefaultDebugLevel);
    SetDebugInputHook([](const std::string&, const std::string&, std::string&) { return false; });
    EXPECT_EQ(SetDebugLevel(0), DefaultDebugLevel); // cancel keeps the level
}

TEST(DebugLevelText, HexDecimalAndDollar) {
    std::uint32_t level = 0;
    EXPECT_TRUE(ParseDebugLevel("$7E814004", level));
    EXPECT_EQ(level, 0x7E814004u);
    EXPECT_TRUE(ParseDebugLevel("0x7E814004", level));
    EXPECT_EQ(level, 0x7E814004u);
    EXPECT_TRUE(ParseDebugLevel("2122399748", level));
    EXPECT_EQ(level, 0x7E814004u);
    EXPECT_FALSE(ParseDebugLevel("", level));
    EXPECT_FALSE(ParseDebugLevel("$", level));
    EXPECT_FALSE(ParseDebugLevel("12abc", level));
    EXPECT_FALSE(ParseDebugLevel("99999999999", level));
}
