#include "CommonFunctions.h"
#include "ManagedWrapper.h"
#include "ScriptText.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/TextHelpers.h"
#include "runtime/Exceptions.h"

namespace kalmora {
namespace {

TIntfRef<IXmlDocument> DocumentOf(TJvInterpreterArgs& args, std::string_view member) {
    return RequiredInterface(AsXmlDocument(HostObject(args.Obj())),
                             "IXmlDoc." + std::string(member) + ": the document");
}

TIntfRef<IXmlNode> NodeOf(TJvInterpreterArgs& args, std::string_view member) {
    return RequiredInterface(AsXmlNode(HostObject(args.Obj())),
                             "IXmlNode." + std::string(member) + ": the node");
}

// The wrapper joins the current run's instance list, which frees it when the run ends; the script's value
// only refers to it. Outside a run its constructor fails and nothing is kept.
Variant WrapNode(TIntfRef<IXmlNode> node) {
    return Variant::FromObject(new TIXmlNodeWrapper(std::move(node)));
}

void RegisterUtilBox(TJvInterpreterAdapter& registry) {
    const std::string unit = "UtilBox";
    registry.DefineFunction(
        unit, "Quoted", [](Variant& r, TJvInterpreterArgs& a) { r = QuotedStr(a[0].AsString(), "\""); }, 1,
        {}, ResultNotDeclared);
    registry.DefineFunction(
        unit, "FloatToStrExt",
        [](Variant& r, TJvInterpreterArgs& a) {
            r = FormatFixed(a[0].AsDouble(), a[1].AsInteger(), a[2].AsString());
        },
        3, {}, ResultNotDeclared);
    registry.DefineFunction(
        unit, "GenerateUuid", [](Variant& r, TJvInterpreterArgs&) { r = NewGuidText(true); }, 0, {},
        ResultNotDeclared);
    registry.DefineFunction(
        unit, "FileToStr", [](Variant& r, TJvInterpreterArgs& a) { r = FileToStr(a[0].AsString()); }, 1, {},
        ResultNotDeclared);
}

void RegisterXmlUtils(TJvInterpreterAdapter& registry) {
    const std::string unit = "XmlUtils";
    registry.DefineFunction(
        unit, "GenerateNewXmlDoc",
        [](Variant& r, TJvInterpreterArgs&) {
            r = Variant::FromObject(new TIXmlDocumentWrapper(NewXmlDocument()));
        },
        0, {}, ResultNotDeclared);
    registry.DefineFunction(
        unit, "AddChildValue",
        [](Variant& r, TJvInterpreterArgs& a) {
            auto node = RequiredInterface(AsXmlNode(HostObject(a[0].AsObject())), "AddChildValue: the node");
            const std::string name = a[1].AsString();
            const std::string value = a[2].AsString();
            auto child = node->AddChild(name);
            child->SetText(value);
            r = WrapNode(std::move(child));
        },
        3, {}, ResultNotDeclared);

    const auto document = TScriptClass::Of<TIXmlDocumentWrapper>();
    registry.DefineClass(unit, document, "IXmlDoc");
    registry.DefineMember(
        document, "AddChild",
        [](Variant& r, TJvInterpreterArgs& a) {
            r = WrapNode(DocumentOf(a, "AddChild")->AddChild(a[0].AsString()));
        },
        1, {}, ResultNotDeclared);
    registry.DefineMember(
        document, "SaveToFile",
        [](Variant&, TJvInterpreterArgs& a) { DocumentOf(a, "SaveToFile")->SaveToFile(a[0].AsString()); }, 1,
        {}, ResultNotDeclared);

    const auto node = TScriptClass::Of<TIXmlNodeWrapper>();
    registry.DefineClass(unit, node, "IXmlNode");
    registry.DefineMember(
        node, "AddChild",
        [](Variant& r, TJvInterpreterArgs& a) {
            r = WrapNode(NodeOf(a, "AddChild")->AddChild(a[0].AsString()));
        },
        1, {}, ResultNotDeclared);
    registry.DefineMember(
        node, "SetAttribute",
        [](Variant&, TJvInterpreterArgs& a) {
            NodeOf(a, "SetAttribute")->SetAttribute(a[0].AsString(), a[1].AsString());
        },
        2, {}, ResultNotDeclared);
}

// The host's own exception classes, placed in the tree that script handlers match against, so that
// "on E: ElmException do" also takes an EDataError a host function raised.
void RegisterExceptionClasses(TJvInterpreterAdapter& registry) {
    registry.DefineExceptionClass("UtilBox", "EInternalError", "Exception");
    registry.DefineExceptionClass("UtilBox", "ElmException", "Exception");
    registry.DefineExceptionClass("UtilBox", "EDataError", "ElmException");
    registry.DefineExceptionClass("XmlUtils", "EDOMParseError", "Exception");
}

} // namespace

void RegisterUtilFunctions(TJvInterpreterAdapter& registry) {
    RegisterUtilBox(registry);
    RegisterXmlUtils(registry);
    RegisterExceptionClasses(registry);
}

} // namespace kalmora
