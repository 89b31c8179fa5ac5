#include "InstallationId.h"
#include "SingleInstance.h"
#include "UtilBox/Registry.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kalmora;

namespace {

class ProgramPieces : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kalmora-pieces-XXXXXX";
        root = mkdtemp(pattern);
        setenv("KALMORA_HKLM_FILE", (root + "/HKLM.reg").c_str(), 1);
        setenv("KALMORA_HKCU_FILE", (root + "/HKCU.reg").c_str(), 1);
        setenv("TMPDIR", root.c_str(), 1);
        unsetenv("XDG_RUNTIME_DIR");
        SetStandardRegistryRoot("Software\\Kalmora");
    }
    void TearDown() override { fs::remove_all(root); }
    std::string MachineId(const std::string& text) {
        std::ofstream(root + "/machine-id") << text;
        return root + "/machine-id";
    }
    std::string root;
};

} // namespace

TEST_F(ProgramPieces, InstallationIdFromTheSettingsOrTheMachineId) {
    const auto machineId = MachineId("0a1b2c3d4e5f60718293a4b5c6d7e8f9\n");
    EXPECT_EQ(GetInstallationId(machineId), "0A1B2C3D");
    ASSERT_TRUE(WriteRegistryString("InstallationId", "0000a1b2"));
    EXPECT_EQ(GetInstallationId(machineId), "0000A1B2");
    // Anything but eight hexadecimal digits in the settings falls back to the machine id.
    for (const char* bad : {"A1B2", "0000A1B2X", "0000G1B2", ""}) {
        ASSERT_TRUE(WriteRegistryString("InstallationId", bad));
        EXPECT_EQ(GetInstallationId(machineId), "0A1B2C3D") << bad;
    }
    EXPECT_EQ(GetInstallationId(MachineId("12-34")), "");
    EXPECT_EQ(GetInstallationId(root + "/missing"), "");
}

TEST_F(ProgramPieces, LockFileLiesInTheConfigFolderOrBesideTheRuntimeFiles) {
    fs::create_directories(root + "/db/config");
    EXPECT_EQ(TSingleInstanceLock::LockFileFor(root + "/db/config/"),
              root + "/db/config/.kalmora-updater.lock");
    const auto elsewhere = TSingleInstanceLock::LockFileFor(root + "/none/config/");
    EXPECT_EQ(fs::path(elsewhere).parent_path(), fs::path(root));
    EXPECT_NE(elsewhere, TSingleInstanceLock::LockFileFor(root + "/other/config/"));
}

TEST_F(ProgramPieces, OneLockHolderAtATimeAndADeadHolderNeverBlocks) {
    fs::create_directories(root + "/config");
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    pid_t child = fork();
    if (child == 0) {
        TSingleInstanceLock held(root + "/config");
        char c = held.Acquired() ? 'y' : 'n';
        (void)!write(toParent[1], &c, 1);
        (void)!read(toChild[0], &c, 1); // holds the lock until told, then dies without releasing it
        _exit(0);
    }
    char got = 0;
    ASSERT_EQ(read(toParent[0], &got, 1), 1);
    ASSERT_EQ(got, 'y');
    EXPECT_FALSE(TSingleInstanceLock(root + "/config").Acquired());
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(TSingleInstanceLock(root + "/config").Acquired());
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        close(fd);
}
