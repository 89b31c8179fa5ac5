#include "RegKey.h"

#include "RegFileFormat.h"

namespace kalmora::registry {

RegStatus TRegKey::Open(const THive& hive, std::string_view path, TRegKey& key, std::string* error) {
    if (!IsValidKeyPath(path))
        return RegStatus::InvalidArgument;
    TRegNode root;
    if (RegStatus status = hive.Load(root, error); status != RegStatus::Ok)
        return status;
    const TRegNode* node = root.Find(path);
    if (!node)
        return RegStatus::NotFound;
    key.FHive = hive;
    key.FPath = std::string(path);
    key.FNode = *node;
    return RegStatus::Ok;
}

RegStatus TRegKey::OpenOrCreate(const THive& hive, std::string_view path, TRegKey& key, std::string* error) {
    if (!IsValidKeyPath(path))
        return RegStatus::InvalidArgument;
    TRegNode snapshot;
    RegStatus status = hive.Modify(
        [&](TRegNode& root) {
            snapshot = root.Create(path);
            return RegStatus::Ok;
        },
        error);
    if (status != RegStatus::Ok)
        return status;
    key.FHive = hive;
    key.FPath = std::string(path);
    key.FNode = std::move(snapshot);
    return RegStatus::Ok;
}

RegStatus TRegKey::QueryValue(std::string_view name, TRegValue& value) const {
    const TRegValue* found = FNode.FindValue(name);
    if (!found)
        return RegStatus::NotFound;
    value = *found;
    return RegStatus::Ok;
}

RegStatus TRegKey::SetValue(std::string_view name, std::uint32_t type, std::string data, std::string* error) {
    if (!IsValidValueName(name) || !CanWriteValue(type, data))
        return RegStatus::InvalidArgument;
    // The hive keeps a string as its text up to the first NUL and one NUL; the snapshot keeps what it keeps.
    if (type == REG_SZ || type == REG_EXPAND_SZ)
        data = StringData(std::string_view(data).substr(0, data.find('\0')));
    RegStatus status = FHive.Modify(
        [&](TRegNode& root) {
            root.Create(FPath).SetValue(name, type, data);
            return RegStatus::Ok;
        },
        error);
    if (status == RegStatus::Ok)
        FNode.SetValue(name, type, std::move(data));
    return status;
}

RegStatus TRegKey::DeleteValue(std::string_view name, std::string* error) {
    RegStatus status = FHive.Modify(
        [&](TRegNode& root) {
            TRegNode* node = root.Find(FPath);
            return node && node->RemoveValue(name) ? RegStatus::Ok : RegStatus::NotFound;
        },
        error);
    if (status == RegStatus::Ok)
        FNode.RemoveValue(name);
    return status;
}

RegStatus DeleteKey(const THive& hive, std::string_view path, std::string* error) {
    if (SplitKeyPath(path).empty() || !IsValidKeyPath(path))
        return RegStatus::InvalidArgument;
    return hive.Modify(
        [&](TRegNode& root) { return root.Remove(path) ? RegStatus::Ok : RegStatus::NotFound; }, error);
}

} // namespace kalmora::registry
