#include "UtilBox/FileHelpers.h"
#include "VocabularyGroups.h"
#include "fs/FileSystem.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora {
namespace {

// Scripts get a Boolean from these and never an exception: a failure is false.

bool DeleteFileOnly(const std::string& fileName) {
    struct stat st {};
    if (fileName.empty() || ::lstat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    return ::unlink(fileName.c_str()) == 0;
}

bool RenameWithoutReplacing(const std::string& oldName, const std::string& newName) {
    struct stat st {};
    if (oldName.empty() || newName.empty() || ::lstat(newName.c_str(), &st) == 0)
        return false;
    const int error = fs::RenameNoReplace(oldName, newName);
    if (error == 0)
        return true;
    // Across file systems a file is moved as a copy; the copy goes again when the original cannot.
    if (error != EXDEV || ::lstat(oldName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (fs::CopyFileAtomically(oldName, newName, false) != 0)
        return false;
    if (::unlink(oldName.c_str()) != 0) {
        ::unlink(newName.c_str());
        return false;
    }
    return true;
}

} // namespace

void RegisterFileFunctions(TJvInterpreterAdapter& registry) {
    const std::string unit = "SysUtils";
    registry.DefineFunction(
        unit, "DeleteFile", [](Variant& r, TJvInterpreterArgs& a) { r = DeleteFileOnly(a[0].AsString()); }, 1,
        {}, ResultNotDeclared);
    registry.DefineFunction(
        unit, "RenameFile",
        [](Variant& r, TJvInterpreterArgs& a) {
            r = RenameWithoutReplacing(a[0].AsString(), a[1].AsString());
        },
        2, {}, ResultNotDeclared);
    registry.DefineFunction(
        unit, "FileExists", [](Variant& r, TJvInterpreterArgs& a) { r = IsExistingFile(a[0].AsString()); }, 1,
        {}, ResultNotDeclared);
}

} // namespace kalmora
