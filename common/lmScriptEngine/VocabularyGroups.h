#pragma once

// The groups that RegisterCommonFunctions registers, each in the order of its names. Scripts see them in the
// units "Dialogs", "SysUtils" and "System".

#include "interpreter/InterpreterAdapter.h"

namespace kalmora {

// "Dialogs": message types, buttons and modal results.
void RegisterDialogConstants(TJvInterpreterAdapter& registry);
// "Dialogs": MessageDlg, ShowMessage, InputBox.
void RegisterDialogFunctions(TJvInterpreterAdapter& registry);
// "SysUtils": case, comparison, trimming, quoting, integer and float texts, Format.
void RegisterTextFunctions(TJvInterpreterAdapter& registry);
// "SysUtils": dates and times, Abort, Beep, Pos.
void RegisterDateFunctions(TJvInterpreterAdapter& registry);
// "System": Ord, Chr, Abs, Length, Copy, Round, Trunc, Delete, Insert.
void RegisterSystemFunctions(TJvInterpreterAdapter& registry);
// "SysUtils": DeleteFile, RenameFile, FileExists.
void RegisterFileFunctions(TJvInterpreterAdapter& registry);

} // namespace kalmora
