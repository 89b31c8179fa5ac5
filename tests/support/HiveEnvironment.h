#pragma once

// The settings store of one test: both hive files in folders of the test's own and the product's key as the
// standard root, all put back when the object goes.

#include "UtilBox/Registry.h"
#include "support/ScopedEnvironment.h"

#include <string>

namespace kalmora::test {

class THiveEnvironment {
public:
    // HKLM.reg and HKCU.reg in `folder`.
    explicit THiveEnvironment(const std::string& folder)
        : THiveEnvironment(folder + "/HKLM.reg", folder + "/HKCU.reg") {}
    THiveEnvironment(std::string machineFile, std::string userFile)
        : MachineFile(std::move(machineFile)), UserFile(std::move(userFile)),
          FMachine("KALMORA_HKLM_FILE", MachineFile), FUser("KALMORA_HKCU_FILE", UserFile) {
        SetStandardRegistryRoot(std::string(ProductRegistryKey));
    }
    ~THiveEnvironment() { ResetStandardRegistryRoot(); }
    THiveEnvironment(const THiveEnvironment&) = delete;
    THiveEnvironment& operator=(const THiveEnvironment&) = delete;

    const std::string MachineFile;
    const std::string UserFile;

private:
    TScopedEnvironment FMachine;
    TScopedEnvironment FUser;
};

} // namespace kalmora::test
