#include "RunConditions.h"

#include "InstallationId.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/Registry.h"
#include "kmConfigUpdaterThread/ConfigManifest.h"
#include "lmDebug/lmDebug.h"
#include "lmWeb/lmWeb.h"
#include "registry/Hive.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora {
namespace {

std::string HiveProblem() {
    for (auto id : {registry::HiveId::LocalMachine, registry::HiveId::CurrentUser}) {
        const auto hive = registry::THive::Standard(id);
        registry::TRegNode root;
        std::string error;
        // A hive that cannot be read would look like one without settings, and the run would name a
        // missing setting instead of the file.
        if (hive.Load(root, &error) != registry::RegStatus::Ok)
            return error; // names the file and the reason
    }
    return {};
}

// "" or the problem with the folder setting `name`.
std::string FolderSettingProblem(const std::string& name, std::string& folder) {
    folder = ReadRegistryString(name, "", std::string(ProductRegistryKey));
    if (folder.empty())
        return "setting " + name + " is not set";
    if (folder.front() != '/')
        return "setting " + name + ": not an absolute path: " + folder;
    if (!IsExistingDirectory(folder))
        return "setting " + name + ": no such folder: " + folder;
    folder = AddTrailingBackslash(folder);
    return {};
}

// The configuration folder is written into when it exists, else the database folder (to create it).
std::string WritableProblem(const std::string& databaseDir) {
    std::string folder = databaseDir + "config";
    if (!IsExistingDirectory(folder))
        folder = databaseDir;
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        const int err = errno;
        return "setting DatabaseDir: folder cannot be written: " + StripTrailingBackslash(folder) + ": " +
               std::strerror(err);
    }
    return {};
}

// The server settings are read machine-wide alone; a per-user copy is named so that its owner learns why it
// changes nothing.
void WarnAboutUserCopies() {
    for (std::string_view name : {ConfigBaseUrlSetting, ServerCaFileSetting})
        if (ReadMachineSetting(std::string(name), std::string(ProductRegistryKey)).UserValue)
            DebugLog("The per-user value " + std::string(name) +
                         " is ignored: only the machine-wide one says which server is trusted",
                     {}, DebugFlags::Warning);
}

// https transfers trust this file instead of the system's store, so it must be there to be read.
std::string ServerCaFileProblem() {
    const std::string setting = "setting " + std::string(ServerCaFileSetting) + ": ";
    if (const auto value =
            ReadMachineSetting(std::string(ServerCaFileSetting), std::string(ProductRegistryKey));
        value.Present && !value.IsText)
        return setting + "not a text value";
    const std::string file = ServerCaFile();
    if (file.empty())
        return {};
    if (file.front() != '/')
        return setting + "not an absolute path: " + file;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || ::access(file.c_str(), R_OK) != 0)
        return setting + "cannot be read: " + file + ": " + std::strerror(errno);
    if (!S_ISREG(st.st_mode))
        return setting + "not a file: " + file;
    return {};
}

} // namespace

TRunConditions CheckRunConditions(const std::string& machineIdFile) {
    TRunConditions result;
    auto fail = [&result](std::string problem) {
        result.Problem = std::move(problem);
        return result;
    };
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp && *tmp != '/')
        return fail(std::string("TMPDIR: not an absolute path: ") + tmp);
    if (std::string problem = HiveProblem(); !problem.empty())
        return fail(problem);
    WarnAboutUserCopies();
    if (std::string problem = ConfigBaseUrlProblem(); !problem.empty())
        return fail(problem);
    std::string trustProblem;
    result.Trust = ReadManifestTrust(trustProblem);
    if (!trustProblem.empty())
        return fail(trustProblem);
    if (std::string problem = ServerCaFileProblem(); !problem.empty())
        return fail(problem);
    std::string installDir;
    if (std::string problem = FolderSettingProblem("DatabaseDir", result.DatabaseDir); !problem.empty())
        return fail(problem);
    if (std::string problem = FolderSettingProblem("InstallDir", installDir); !problem.empty())
        return fail(problem);
    result.InstallationId = GetInstallationId(machineIdFile);
    if (result.InstallationId.empty())
        return fail(
            "no installation identifier: setting InstallationId is not eight hexadecimal digits and " +
            machineIdFile + " gives none");
    if (std::string problem = WritableProblem(result.DatabaseDir); !problem.empty())
        return fail(problem);
    return result;
}

} // namespace kalmora
