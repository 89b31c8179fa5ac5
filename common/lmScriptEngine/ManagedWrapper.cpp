#include "ManagedWrapper.h"

#include "UtilBox/InternalError.h"
#include "runtime/Exceptions.h"

#include <algorithm>
#include <memory>

namespace kalmora {
namespace {

constexpr std::string_view Unit = "lmScriptEngine";

// One list per active run, innermost last.
std::vector<std::unique_ptr<TObjectList>>& InstanceListStack() {
    static std::vector<std::unique_ptr<TObjectList>> stack;
    return stack;
}

} // namespace

TObjectList::~TObjectList() {
    // Each object is taken out before it is freed, so one that looks for itself finds nothing to remove.
    while (!FItems.empty()) {
        std::unique_ptr<TObject> first(FItems.front());
        FItems.erase(FItems.begin());
    }
}

void TObjectList::Add(TObject* object) {
    FItems.push_back(object);
}

bool TObjectList::Extract(const TObject* object) noexcept {
    auto it = std::find(FItems.begin(), FItems.end(), object);
    if (it == FItems.end())
        return false;
    FItems.erase(it);
    return true;
}

TManagedInterfaceWrapper::TManagedInterfaceWrapper(TIntfRef<IInterface> intf)
    : TInterfaceWrapper(std::move(intf)) {
    RegisterInstance(this);
}

TManagedInterfaceWrapper::~TManagedInterfaceWrapper() {
    auto& stack = InstanceListStack();
    if (stack.empty() || !stack.back())
        return;
    if (stack.back()->Extract(this))
        return;
    // Freed during a nested run while it belongs to an outer one: leaving it in the outer list would free
    // it a second time when that run ends.
    for (auto& list : stack) {
        if (list && list->Extract(this))
            return;
    }
}

void TManagedInterfaceWrapper::PushInstanceList() {
    InstanceListStack().push_back(std::make_unique<TObjectList>());
}

void TManagedInterfaceWrapper::PopInstanceList() {
    auto& stack = InstanceListStack();
    if (stack.empty())
        return;
    std::unique_ptr<TObjectList> top = std::move(stack.back());
    top.reset();
    stack.pop_back();
}

TObjectList* TManagedInterfaceWrapper::CurrentInstanceList() {
    auto& stack = InstanceListStack();
    Assert(!stack.empty(), Unit);
    return stack.back().get();
}

void TManagedInterfaceWrapper::RegisterInstance(TObject* instance) {
    TObjectList* list = CurrentInstanceList();
    Assert(list != nullptr, Unit);
    list->Add(instance);
}

int TManagedInterfaceWrapper::InstanceListDepth() noexcept {
    return static_cast<int>(InstanceListStack().size());
}

void TManagedInterfaceWrapper::ClearInstanceListStack() noexcept {
    while (!InstanceListStack().empty())
        PopInstanceList();
}

TIntfRef<IInterface> UnwrapInterface(TObject* object, const TGUID& iid, std::string_view displayName) {
    if (!object)
        return {};
    auto* wrapper = dynamic_cast<TInterfaceWrapper*>(object);
    if (!wrapper)
        throw EInvalidCast("Invalid class typecast");
    TIntfRef<IInterface> answer;
    if (wrapper->Intf)
        answer = TIntfRef<IInterface>::Adopt(wrapper->Intf->QueryInterface(iid));
    if (!answer) {
        std::string name = displayName.empty() ? GuidToText(iid, true) : std::string(displayName);
        throw EInternalError("Interface is not available: " + name);
    }
    return answer;
}

TIntfRef<IXmlDocument> AsXmlDocument(TObject* object) {
    return TIntfRef<IXmlDocument>(
        dynamic_cast<IXmlDocument*>(UnwrapInterface(object, IXmlDocument::IID, "IXmlDocument").get()));
}

TIntfRef<IXmlNode> AsXmlNode(TObject* object) {
    return TIntfRef<IXmlNode>(
        dynamic_cast<IXmlNode*>(UnwrapInterface(object, IXmlNode::IID, "IXmlNode").get()));
}

TObject* HostObject(TScriptObject* object) {
    if (!object)
        return nullptr;
    auto* host = dynamic_cast<TObject*>(object);
    if (!host)
        throw EInvalidCast("Invalid class typecast");
    return host;
}

} // namespace kalmora
