#include "Hive.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kalmora::registry {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeDirectory() {
    std::string home = Environment("HOME");
    if (!home.empty())
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

} // namespace

std::string StandardHivePath(HiveId hive) {
    if (hive == HiveId::LocalMachine) {
        std::string path = Environment("KALMORA_HKLM_FILE");
        return path.empty() ? std::string("/var/lib/kalmora/HKLM.reg") : path;
    }
    std::string path = Environment("KALMORA_HKCU_FILE");
    if (!path.empty())
        return path;
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty())
        config = HomeDirectory() + "/.config";
    return config + "/kalmora/HKCU.reg";
}

} // namespace kalmora::registry
