#include "InterpreterAdapter.h"

#include "runtime/Exceptions.h"

namespace kalmora {
namespace {

bool SameName(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

std::unique_ptr<TJvInterpreterAdapter>& GlobalSlot() {
    static std::unique_ptr<TJvInterpreterAdapter> registry;
    return registry;
}

void CheckParams(int paramCount, const std::vector<std::uint16_t>& paramKinds) {
    if (paramCount < 0 || paramKinds.size() > static_cast<std::size_t>(paramCount))
        throw EInvalidOp("Parameter kinds do not fit the parameter count");
}

// Unique over all registries, so that a program compiled against a freed and recreated registry notices.
std::uint64_t NextVersion() noexcept {
    static std::uint64_t counter = 0;
    return ++counter;
}

} // namespace

void TJvInterpreterAdapter::DefineConstant(std::string unitName, std::string identifier, Variant value) {
    TAdapterEntry& entry = FEntries.emplace_back();
    entry.Kind = TAdapterEntryKind::Constant;
    entry.UnitName = std::move(unitName);
    entry.Identifier = std::move(identifier);
    entry.Value = std::move(value);
    FVersion = NextVersion();
}

void TJvInterpreterAdapter::DefineFunction(std::string unitName, std::string identifier,
                                           THostFunction function, int paramCount,
                                           std::vector<std::uint16_t> paramKinds, std::uint16_t resultKind) {
    CheckParams(paramCount, paramKinds);
    TAdapterEntry& entry = FEntries.emplace_back();
    entry.Kind = TAdapterEntryKind::Function;
    entry.UnitName = std::move(unitName);
    entry.Identifier = std::move(identifier);
    entry.Function = std::move(function);
    entry.ParamCount = paramCount;
    entry.ParamKinds = std::move(paramKinds);
    entry.ResultKind = resultKind;
    FVersion = NextVersion();
}

void TJvInterpreterAdapter::DefineClass(std::string unitName, TScriptClass hostClass, std::string typeName) {
    TAdapterEntry& entry = FEntries.emplace_back();
    entry.Kind = TAdapterEntryKind::Class;
    entry.UnitName = std::move(unitName);
    entry.Identifier = std::move(typeName);
    entry.Class = hostClass;
    FVersion = NextVersion();
}

void TJvInterpreterAdapter::DefineMember(TScriptClass hostClass, std::string identifier,
                                         THostFunction function, int paramCount,
                                         std::vector<std::uint16_t> paramKinds, std::uint16_t resultKind) {
    CheckParams(paramCount, paramKinds);
    TAdapterEntry& entry = FEntries.emplace_back();
    entry.Kind = TAdapterEntryKind::Member;
    entry.Identifier = std::move(identifier);
    entry.Function = std::move(function);
    entry.ParamCount = paramCount;
    entry.ParamKinds = std::move(paramKinds);
    entry.ResultKind = resultKind;
    entry.Class = hostClass;
    FVersion = NextVersion();
}

void TJvInterpreterAdapter::DefineExceptionClass(std::string unitName, std::string className,
                                                 std::string parentName) {
    TAdapterEntry& entry = FEntries.emplace_back();
    entry.Kind = TAdapterEntryKind::ExceptionClass;
    entry.UnitName = std::move(unitName);
    entry.Identifier = std::move(className);
    entry.Value = Variant(std::move(parentName));
    FVersion = NextVersion();
}

const TAdapterEntry* TJvInterpreterAdapter::FindName(std::string_view identifier) const {
    for (auto it = FEntries.rbegin(); it != FEntries.rend(); ++it)
        if ((it->Kind == TAdapterEntryKind::Constant || it->Kind == TAdapterEntryKind::Function) &&
            SameName(it->Identifier, identifier))
            return &*it;
    return nullptr;
}

std::vector<const TAdapterEntry*> TJvInterpreterAdapter::FindMembers(std::string_view identifier) const {
    std::vector<const TAdapterEntry*> found;
    for (const TAdapterEntry& entry : FEntries)
        if (entry.Kind == TAdapterEntryKind::Member && SameName(entry.Identifier, identifier))
            found.push_back(&entry);
    return found;
}

std::string TJvInterpreterAdapter::TypeNameOf(const TScriptObject* obj) const {
    if (!obj)
        return {};
    const TAdapterEntry* best = nullptr;
    for (const TAdapterEntry& entry : FEntries) {
        if (entry.Kind != TAdapterEntryKind::Class || !entry.Class.IsInstance(obj))
            continue;
        if (*entry.Class.Type == typeid(*obj))
            return entry.Identifier;
        if (!best)
            best = &entry;
    }
    return best ? best->Identifier : std::string();
}

TJvInterpreterAdapter& GlobalRegistry() {
    auto& slot = GlobalSlot();
    if (!slot)
        slot = std::make_unique<TJvInterpreterAdapter>();
    return *slot;
}

bool GlobalRegistryExists() noexcept {
    return GlobalSlot() != nullptr;
}

void FinalizeInterpreter() noexcept {
    GlobalSlot().reset();
}

} // namespace kalmora
