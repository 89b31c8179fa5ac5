#include "RunConditions.h"

#include "InstallationId.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/Registry.h"
#include "kmConfigUpdaterThread/ConfigManifest.h"
#include "registry/Hive.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace kalmora {
namespace {

std::string HiveProblem() {
    for (auto id : {registry::HiveId::LocalMachine, registry::HiveId::CurrentUser}) {
        const auto hive = registry::THive::Standard(id);
        registry::TRegNode root;
        std::string error;
        if (hive.Load(root, &error) == registry::RegStatus::Corrupt)
            return error; // names the file
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
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "setting DatabaseDir: folder cannot be written: " + StripTrailingBackslash(folder) + ": " +
               std::strerror(errno);
    return {};
}

} // namespace

TRunConditions CheckRunConditions(const std::string& machineIdFile) {
    TRunConditions result;
    auto fail = [&result](std::string problem) {
        result.Problem = std::move(problem);
        return result;
    };
    if (std::string problem = ConfigBaseUrlProblem(); !problem.empty())
        return fail(problem);
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp && *tmp != '/')
        return fail(std::string("TMPDIR: not an absolute path: ") + tmp);
    if (std::string problem = HiveProblem(); !problem.empty())
        return fail(problem);
    std::string trustProblem;
    result.Trust = ReadManifestTrust(trustProblem);
    if (!trustProblem.empty())
        return fail(trustProblem);
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
