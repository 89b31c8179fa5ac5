#include "Registry.h"

#include "TextHelpers.h"
#include "lmDebug/lmDebug.h"
#include "registry/RegKey.h"
#include "runtime/Exceptions.h"

#include <algorithm>

namespace kalmora {
namespace {

using registry::HiveId;
using registry::RegStatus;
using registry::THive;
using registry::TRegKey;
using registry::TRegValue;

constexpr std::string_view Unit = "UtilBox";

// Set once by the start-up sequence before the update thread exists and only read afterwards, so it needs
// no lock.
std::string StandardRoot;

// A hive that cannot be parsed is treated as absent, but never silently.
RegStatus Logged(RegStatus status, const std::string& error) {
    if (status == RegStatus::Corrupt)
        DebugError(error, "", DebugFlags::Error);
    return status;
}

bool QueryHiveValue(HiveId id, const std::string& key, const std::string& name, TRegValue& value) {
    TRegKey regKey;
    std::string error;
    if (Logged(TRegKey::Open(THive::Standard(id), key, regKey, &error), error) != RegStatus::Ok)
        return false;
    return regKey.QueryValue(name, value) == RegStatus::Ok;
}

// The value as a string, or false when it is absent, of another type or unreadable.
bool ReadHiveString(HiveId id, const std::string& key, const std::string& name, std::string& text) {
    TRegValue value;
    if (!QueryHiveValue(id, key, name, value))
        return false;
    if (value.Data.empty()) {
        text.clear();
        return true;
    }
    if (value.Type != registry::REG_SZ && value.Type != registry::REG_EXPAND_SZ)
        return false;
    text = value.Data.substr(0, value.Data.find('\0'));
    return true;
}

bool WriteHiveString(HiveId id, const std::string& key, const std::string& name, const std::string& text) {
    TRegKey regKey;
    std::string error;
    if (Logged(TRegKey::OpenOrCreate(THive::Standard(id), key, regKey, &error), error) != RegStatus::Ok)
        return false;
    return Logged(regKey.SetValue(name, registry::REG_SZ, registry::StringData(text), &error), error) ==
           RegStatus::Ok;
}

// After a machine-wide write a per-user copy would shadow the new value; whatever goes wrong here is ignored.
void RemoveUserCopy(const std::string& key, const std::string& name) {
    TRegKey regKey;
    std::string error;
    if (Logged(TRegKey::Open(THive::Standard(HiveId::CurrentUser), key, regKey, &error), error) !=
        RegStatus::Ok)
        return;
    TRegValue value;
    if (regKey.QueryValue(name, value) == RegStatus::Ok)
        Logged(regKey.DeleteValue(name, &error), error);
}

} // namespace

void SetStandardRegistryRoot(const std::string& root) {
    Assert(!root.empty(), Unit);
    StandardRoot = root;
}

std::string GetStandardRegistryRoot() {
    if (StandardRoot.empty()) {
        const std::string defaultRoot = "\\" + std::string(ProductRegistryKey);
        DebugError("Standard registry root is not defined - using \"" + defaultRoot + "\"", "",
                   DebugFlags::Error);
        return defaultRoot;
    }
    return StandardRoot;
}

void ResetStandardRegistryRoot() {
    StandardRoot.clear();
}

void SplitRegistryPath(std::string& key, std::string& name) {
    if (key.empty())
        key = GetStandardRegistryRoot();
    std::string current = GetToken(name, "\\", 1);
    for (int i = 2;; ++i) {
        std::string next = GetToken(name, "\\", i);
        if (next.empty())
            break;
        key = JoinNonEmpty(key, current, "\\");
        current = std::move(next);
    }
    name = std::move(current);
}

std::string ReadRegistryString(const std::string& name, const std::string& defaultValue,
                               const std::string& key, bool onlyHKCU) {
    std::string splitKey = key, splitName = name, text;
    SplitRegistryPath(splitKey, splitName);
    if (ReadHiveString(HiveId::CurrentUser, splitKey, splitName, text))
        return text;
    if (onlyHKCU)
        return defaultValue;
    if (ReadHiveString(HiveId::LocalMachine, splitKey, splitName, text))
        return text;
    return defaultValue;
}

TMachineSetting ReadMachineSetting(const std::string& name, const std::string& key) {
    std::string splitKey = key, splitName = name;
    SplitRegistryPath(splitKey, splitName);
    TMachineSetting setting;
    TRegValue value;
    setting.UserValue = QueryHiveValue(HiveId::CurrentUser, splitKey, splitName, value);
    setting.Present = QueryHiveValue(HiveId::LocalMachine, splitKey, splitName, value);
    if (!setting.Present)
        return setting;
    setting.IsText = value.Data.empty() || value.Type == registry::REG_SZ ||
                     value.Type == registry::REG_EXPAND_SZ || value.Type == registry::REG_MULTI_SZ;
    if (!setting.IsText)
        return setting;
    if (value.Type != registry::REG_MULTI_SZ) {
        setting.Text = value.Data.substr(0, value.Data.find('\0'));
        return setting;
    }
    for (std::size_t at = 0; at < value.Data.size();) {
        const std::size_t end = std::min(value.Data.find('\0', at), value.Data.size());
        if (end == at)
            break; // the empty string that ends the list
        setting.Text += (setting.Text.empty() ? "" : "\n") + value.Data.substr(at, end - at);
        at = end + 1;
    }
    return setting;
}

bool WriteRegistryString(const std::string& name, const std::string& value, const std::string& key,
                         bool onlyHKCU, bool onlyHKLM) {
    Assert(!(onlyHKCU && onlyHKLM), Unit, "OnlyHKCU + OnlyHKLM are not allowed");
    std::string splitKey = key, splitName = name;
    SplitRegistryPath(splitKey, splitName);
    const HiveId target = onlyHKCU ? HiveId::CurrentUser : HiveId::LocalMachine;
    if (WriteHiveString(target, splitKey, splitName, value)) {
        if (target == HiveId::LocalMachine)
            RemoveUserCopy(splitKey, splitName);
        return true;
    }
    if (onlyHKCU || onlyHKLM)
        return false;
    return WriteHiveString(HiveId::CurrentUser, splitKey, splitName, value);
}

} // namespace kalmora
