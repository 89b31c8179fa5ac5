#include "ScriptDialogs.h"
#include "VocabularyGroups.h"

#include <array>
#include <string_view>

namespace kalmora {
namespace {

constexpr std::string_view Unit = "Dialogs";

// Each group counts from 0 in the order given; the values match the enums of ScriptDialogs.h.
constexpr std::array<std::string_view, 5> MessageTypes = {"mtWarning", "mtError", "mtInformation",
                                                          "mtConfirmation", "mtCustom"};
constexpr std::array<std::string_view, 11> ButtonNames = {"mbYes",     "mbNo",       "mbOK",     "mbCancel",
                                                          "mbAbort",   "mbRetry",    "mbIgnore", "mbAll",
                                                          "mbNoToAll", "mbYesToAll", "mbHelp"};
constexpr std::array<std::string_view, 11> ModalResults = {"mrNone",  "mrOk",      "mrCancel",  "mrAbort",
                                                           "mrRetry", "mrIgnore",  "mrYes",     "mrNo",
                                                           "mrAll",   "mrNoToAll", "mrYesToAll"};

template <std::size_t N>
void DefineCounted(TJvInterpreterAdapter& registry, const std::array<std::string_view, N>& names) {
    for (std::size_t i = 0; i < N; ++i)
        registry.DefineConstant(std::string(Unit), std::string(names[i]), Variant(static_cast<int>(i)));
}

// A button set arrives as an array of button values (the interpreter's set constructor) or as an integer
// whose bit i stands for the button of value i. Values that no 32-bit set can hold select nothing.
std::uint32_t ButtonSet(const Variant& buttons) {
    if (!buttons.IsArray())
        return static_cast<std::uint32_t>(buttons.AsInteger());
    std::uint32_t bits = 0;
    for (const Variant& item : buttons.Items()) {
        const int value = item.AsInteger();
        if (value >= 0 && value < 32)
            bits |= 1u << value;
    }
    return bits;
}

} // namespace

void RegisterDialogConstants(TJvInterpreterAdapter& registry) {
    DefineCounted(registry, MessageTypes);
    DefineCounted(registry, ButtonNames);
    DefineCounted(registry, ModalResults);
}

void RegisterDialogFunctions(TJvInterpreterAdapter& registry) {
    const std::string unit(Unit);
    registry.DefineFunction(
        unit, "MessageDlg",
        [](Variant& result, TJvInterpreterArgs& args) {
            result =
                MessageDlg(args[0].AsString(), args[1].AsInteger(), ButtonSet(args[2]), args[3].AsInteger());
        },
        4, {}, ResultNotDeclared);
    registry.DefineFunction(
        unit, "ShowMessage",
        [](Variant&, TJvInterpreterArgs& args) { ScriptShowMessage(args[0].AsString()); }, 1, {},
        ResultNotDeclared);
    registry.DefineFunction(
        unit, "InputBox",
        [](Variant& result, TJvInterpreterArgs& args) {
            result = InputBox(args[0].AsString(), args[1].AsString(), args[2].AsString());
        },
        3, {}, ResultNotDeclared);
}

} // namespace kalmora
