#pragma once

// The fixture of the tests that run kalmora-updater as a process: a demo installation in a test folder with
// both hives, TMPDIR inside it, and the loopback server serving ROOT/server, whose kmdata/kmconfig/ folder
// is the configuration server's tree.

#include "UpdaterProcess.h"
#include "UtilBox/Registry.h"
#include "support/HiveEnvironment.h"
#include "support/HttpTestServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TestFolder.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace kalmora::test {

using namespace std::chrono_literals;
using Tree = std::map<std::string, std::string>;

constexpr auto RunTimeout = 60s;

class UpdaterRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(root + "/tmp");
        std::filesystem::create_directories(db);
        std::filesystem::create_directories(install);
        std::filesystem::create_directories(served + "lic");
        std::filesystem::create_directories(served + "packages");
        server.ServeDirectory(root + "/server");
        Set("DatabaseDir", db);
        Set("InstallDir", install);
        Set("InstallationId", "0000A1B2");
        // Every run shows its window without a display, as from cron: the program itself has to pick the
        // offscreen platform, and no box may wait for a click there.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
    }
    void TearDown() override { server.Stop(); }

    void Set(const std::string& name, const std::string& value) {
        ASSERT_TRUE(WriteRegistryString(name, value, {}, false, true)) << name;
    }
    std::string Get(const std::string& name) { return ReadRegistryString(name, "<absent>"); }
    std::string Recorded(const std::string& kind) { return Get("lastconfigupdate." + kind); }

    struct Entry {
        std::string kind, date, url;
    };
    void Manifest(const std::vector<Entry>& entries, const std::string& extra = {}) {
        std::ofstream out(served + "configinfo.xml");
        out << "<?xml version=\"1.0\"?>\n<kmconfig>\n";
        for (auto& e : entries)
            out << "<" << e.kind << "><date>" << e.date << "</date><url>" << e.url << "</url></" << e.kind
                << ">\n";
        out << extra << "</kmconfig>\n";
    }
    // A package on the server, named kind-date.zip, and its manifest URL with the base-URL placeholder.
    std::string Package(const std::string& kind, const std::string& date, const Tree& files,
                        const std::string& password = {}) {
        const std::string name = kind + "-" + date + ".zip";
        MakeZip(served + "packages/" + name, files, password);
        return "#KMCONFIGDIR#packages/" + name;
    }
    void Password(const std::string& text) { std::ofstream(served + "lic/A1B2.pwd") << text; }

    // The exit code (1000 + N when signal N killed it); what it wrote on stderr is in Stderr.
    int Run(const std::vector<std::string>& args = {}, const std::string& workingDir = {}) {
        TUpdaterProcess updater(UPDATER_PROGRAM, workingDir.empty() ? root : workingDir, args, StderrFile());
        return Ended(updater, RunTimeout);
    }
    int Ended(TUpdaterProcess& updater, std::chrono::milliseconds timeout) {
        auto status = updater.Wait(timeout);
        EXPECT_TRUE(status.has_value()) << "updater did not end";
        Stderr = ReadTree(root + "/out")["stderr"];
        if (!status)
            return -1;
        return WIFEXITED(*status) ? WEXITSTATUS(*status) : 1000 + WTERMSIG(*status);
    }
    std::string StderrFile() {
        std::filesystem::create_directories(root + "/out");
        return root + "/out/stderr";
    }
    std::vector<std::string> StderrLines() {
        std::vector<std::string> lines;
        std::istringstream in(Stderr);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::vector<std::string> Targets() {
        std::vector<std::string> targets;
        for (auto& r : server.Requests())
            targets.push_back(r.target);
        return targets;
    }
    bool Requested(const std::string& suffix) {
        for (auto& t : Targets())
            if (t.ends_with(suffix))
                return true;
        return false;
    }

    TTestFolder Folder;
    const std::string root = Folder.Path();
    const std::string db = root + "/db/";
    const std::string install = root + "/install/";
    const std::string config = db + "config/";
    const std::string served = root + "/server/kmdata/kmconfig/";
    THiveEnvironment Hives{root};
    TScopedEnvironment TemporaryDirectory{"TMPDIR", root + "/tmp"};
    THttpTestServer server;
    TScopedEnvironment BaseUrl{"KALMORA_CONFIG_BASE_URL", server.Url("kmdata/kmconfig/")};
    std::string Stderr;
};

} // namespace kalmora::test
