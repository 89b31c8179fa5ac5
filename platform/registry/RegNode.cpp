#include "RegNode.h"

#include <algorithm>

namespace kalmora::registry {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

template <class Range, class Name> auto FindNamed(Range& range, std::string_view name, Name nameOf) {
    return std::find_if(range.begin(), range.end(),
                        [&](const auto& item) { return NamesEqual(nameOf(item), name); });
}

bool HasControlChar(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c == '\0' || c == '\r' || c == '\n'; });
}

} // namespace

std::string_view HiveRootName(HiveId hive) {
    return hive == HiveId::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string StringData(std::string_view text) {
    std::string data(text);
    data.push_back('\0');
    return data;
}

std::string DwordData(std::uint32_t value) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return data;
}

bool NamesEqual(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

const TRegNode* TRegNode::FindSubKey(std::string_view name) const {
    auto it = FindNamed(SubKeys, name, [](const TRegNode& n) -> const std::string& { return n.Name; });
    return it == SubKeys.end() ? nullptr : &*it;
}

TRegNode* TRegNode::FindSubKey(std::string_view name) {
    return const_cast<TRegNode*>(static_cast<const TRegNode*>(this)->FindSubKey(name));
}

TRegNode& TRegNode::SubKey(std::string_view name) {
    if (auto* found = FindSubKey(name))
        return *found;
    return SubKeys.emplace_back(std::string(name));
}

bool TRegNode::RemoveSubKey(std::string_view name) {
    auto it = FindNamed(SubKeys, name, [](const TRegNode& n) -> const std::string& { return n.Name; });
    if (it == SubKeys.end())
        return false;
    SubKeys.erase(it);
    return true;
}

const TRegValue* TRegNode::FindValue(std::string_view name) const {
    auto it = FindNamed(Values, name, [](const TRegValue& v) -> const std::string& { return v.Name; });
    return it == Values.end() ? nullptr : &*it;
}

void TRegNode::SetValue(std::string_view name, std::uint32_t type, std::string data) {
    auto it = FindNamed(Values, name, [](const TRegValue& v) -> const std::string& { return v.Name; });
    if (it == Values.end()) {
        Values.push_back(TRegValue{std::string(name), type, std::move(data)});
        return;
    }
    it->Type = type;
    it->Data = std::move(data);
}

bool TRegNode::RemoveValue(std::string_view name) {
    auto it = FindNamed(Values, name, [](const TRegValue& v) -> const std::string& { return v.Name; });
    if (it == Values.end())
        return false;
    Values.erase(it);
    return true;
}

const TRegNode* TRegNode::Find(std::string_view path) const {
    const TRegNode* node = this;
    for (const auto& part : SplitKeyPath(path)) {
        node = node->FindSubKey(part);
        if (!node)
            return nullptr;
    }
    return node;
}

TRegNode* TRegNode::Find(std::string_view path) {
    return const_cast<TRegNode*>(static_cast<const TRegNode*>(this)->Find(path));
}

TRegNode& TRegNode::Create(std::string_view path) {
    TRegNode* node = this;
    for (const auto& part : SplitKeyPath(path))
        node = &node->SubKey(part);
    return *node;
}

bool TRegNode::Remove(std::string_view path) {
    auto parts = SplitKeyPath(path);
    if (parts.empty())
        return false;
    TRegNode* parent = this;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        parent = parent->FindSubKey(parts[i]);
        if (!parent)
            return false;
    }
    return parent->RemoveSubKey(parts.back());
}

std::vector<std::string> SplitKeyPath(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool IsValidKeyPath(std::string_view path) {
    if (HasControlChar(path))
        return false;
    auto parts = SplitKeyPath(path);
    // The registry's own depth limit; it also keeps the recursive walks over a hostile file off the stack's
    // end.
    return parts.size() <= MaxKeyDepth &&
           std::all_of(parts.begin(), parts.end(), [](const std::string& p) { return p.size() <= 255; });
}

bool IsValidValueName(std::string_view name) {
    return name.size() <= 16383 && !HasControlChar(name);
}

} // namespace kalmora::registry
