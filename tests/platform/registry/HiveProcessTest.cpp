// Hive behaviour across processes: refused writes, concurrent writers and writers killed mid-write.

#include "registry/RegKey.h"
#include "support/ChildProcess.h"
#include "support/TestFolder.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>

using namespace kalmora::registry;
using namespace kalmora::test;

namespace {

RegStatus SetString(const THive& hive, std::string_view key, std::string_view name, std::string_view text) {
    TRegKey regKey;
    RegStatus status = TRegKey::OpenOrCreate(hive, key, regKey);
    return status == RegStatus::Ok ? regKey.SetValue(name, REG_SZ, StringData(text)) : status;
}

struct TPipe {
    int Read = -1, Write = -1;
    TPipe() {
        int fds[2];
        if (::pipe(fds) == 0) {
            Read = fds[0];
            Write = fds[1];
        }
    }
    ~TPipe() {
        CloseRead();
        CloseWrite();
    }
    void CloseRead() {
        if (Read >= 0)
            ::close(Read);
        Read = -1;
    }
    void CloseWrite() {
        if (Write >= 0)
            ::close(Write);
        Write = -1;
    }
};

} // namespace

TEST(HiveProcesses, AUserWhoCannotReplaceTheFileIsRefusedAndTheFileStays) {
    TTestFolder dir;
    const std::string folder = dir / "lib";
    ::mkdir(folder.c_str(), 0755);
    THive machine(HiveId::LocalMachine, folder + "/HKLM.reg");
    ASSERT_EQ(SetString(machine, "Software\\Kalmora", "InstallDir", "/opt/kalmora"), RegStatus::Ok);
    const std::string before = ReadFile(machine.Path());
    ::chmod(folder.c_str(), 0555);

    const int code = RunInChild(
        [&] {
            TRegKey key;
            if (TRegKey::Open(machine, "Software\\Kalmora", key) != RegStatus::Ok)
                return 10; // readers need no write access
            if (SetString(machine, "Software\\Kalmora", "InstallDir", "/tmp/evil") != RegStatus::AccessDenied)
                return 11;
            if (TRegKey::OpenOrCreate(machine, "Software\\New", key) != RegStatus::AccessDenied)
                return 12;
            return 0;
        },
        true);
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(machine.Path()), before);
}

TEST(HiveProcesses, TwoWritersAtOnceLoseNoValue) {
    TTestFolder dir;
    THive hive(HiveId::LocalMachine, dir / "HKLM.reg");
    constexpr int PerWriter = 200;
    TPipe start;
    std::vector<pid_t> children;
    for (int writer = 0; writer < 2; ++writer) {
        std::fflush(nullptr);
        pid_t pid = ::fork();
        if (pid == 0) {
            start.CloseWrite();
            char byte;
            // Both start when the parent closes the pipe.
            while (::read(start.Read, &byte, 1) < 0 && errno == EINTR) {
            }
            for (int i = 0; i < PerWriter; ++i)
                if (SetString(hive, "Software\\Kalmora",
                              "w" + std::to_string(writer) + "-" + std::to_string(i),
                              std::to_string(i)) != RegStatus::Ok)
                    ::_exit(1);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    start.CloseWrite();
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    TRegNode root;
    ASSERT_EQ(hive.Load(root), RegStatus::Ok);
    const TRegNode* key = root.Find("Software\\Kalmora");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Values.size(), 2u * PerWriter);
    for (int writer = 0; writer < 2; ++writer)
        for (int i = 0; i < PerWriter; ++i) {
            const TRegValue* value = key->FindValue("w" + std::to_string(writer) + "-" + std::to_string(i));
            ASSERT_NE(value, nullptr) << writer << "-" << i;
            EXPECT_EQ(value->Data, StringData(std::to_string(i)));
        }
}

TEST(HiveProcesses, AWriterKilledAtAnyInstantLeavesAHiveThatParses) {
    TTestFolder dir;
    THive hive(HiveId::LocalMachine, dir / "HKLM.reg");
    std::random_device device;
    const unsigned seed = device();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // Enough data that writing and syncing a hive takes a while, so kills land in every phase of it.
    const std::string filler(8192, 'f');

    for (int round = 0; round < 100; ++round) {
        TPipe acks;
        std::fflush(nullptr);
        pid_t pid = ::fork();
        if (pid == 0) {
            acks.CloseRead();
            for (int k = 0;; ++k) {
                if (SetString(hive, "Round" + std::to_string(round), "v" + std::to_string(k), filler) !=
                    RegStatus::Ok)
                    ::_exit(1);
                char byte = 1;
                if (::write(acks.Write, &byte, 1) != 1)
                    ::_exit(2);
            }
        }
        acks.CloseWrite();
        // Wait for a random number of finished writes, then let a random stretch of the next one pass.
        const int acked = std::uniform_int_distribution<int>(1, 3)(random);
        int seen = 0;
        char byte;
        while (seen < acked && ::read(acks.Read, &byte, 1) == 1)
            ++seen;
        ASSERT_EQ(seen, acked) << "writer failed in round " << round;
        volatile unsigned spin = 0;
        const unsigned spins = std::uniform_int_distribution<unsigned>(0, 2000000)(random);
        for (unsigned i = 0; i < spins; ++i)
            spin = spin + 1;
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);

        TRegNode root;
        std::string error;
        ASSERT_EQ(hive.Load(root, &error), RegStatus::Ok) << "round " << round << ": " << error;
        const TRegNode* key = root.Find("Round" + std::to_string(round));
        ASSERT_NE(key, nullptr) << "round " << round;
        // Every write the writer finished before its death is there.
        for (int k = 0; k < acked; ++k)
            ASSERT_NE(key->FindValue("v" + std::to_string(k)), nullptr)
                << "round " << round << " value " << k;
    }
}
