#pragma once

// The dialogs scripts open. With a screen they are modal Qt dialogs (a QApplication must exist); without one
// (no application object, or the offscreen or minimal platform) the message goes to stdout with a line break
// and the dialog answers at once, so that a script run never blocks. Main thread only.

#include <cstdint>
#include <string>

namespace kalmora {

// Message types, buttons and modal results with the values scripts use.
enum class TMsgDlgType : std::int32_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum class TMsgDlgBtn : std::int32_t {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp
};
enum class TModalResultCode : std::int32_t {
    mrNone,
    mrOk,
    mrCancel,
    mrAbort,
    mrRetry,
    mrIgnore,
    mrYes,
    mrNo,
    mrAll,
    mrNoToAll,
    mrYesToAll
};

// `buttons`: bit i selects the button of value i. Returns the modal result of the button pressed; printed,
// the result of the lowest button in the set (mrNone for an empty set or help alone).
std::int32_t MessageDlg(const std::string& message, std::int32_t dlgType, std::uint32_t buttons,
                        std::int32_t helpCtx);
void ScriptShowMessage(const std::string& message);
// The text entered, or `fallback` when cancelled; printed, `fallback`.
std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& fallback);

// The desktop's default sound; nothing without a screen.
void ScriptBeep();

// The modal result a button stands for.
std::int32_t ModalResultOf(TMsgDlgBtn button);

} // namespace kalmora
