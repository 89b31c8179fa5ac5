#pragma once

// Modal message boxes for the whole program (error display, script dialogs). Without a screen (the offscreen
// or minimal platform) nobody could ever press a button, so a box prints its caption and text as one line on
// stderr and returns its default button at once: a run from cron or a timer never blocks.

#include <functional>
#include <string>

namespace kalmora {

enum class TMessageIcon { None, Information, Warning, Error, Question };
enum class TModalResult { None, Ok, Cancel, Yes, No };
enum class TMessageButtons { Ok, OkCancel, YesNo, YesNoCancel };

struct TMessageBoxRequest {
    TMessageIcon Icon = TMessageIcon::None;
    std::string Caption;
    std::string Text; // line breaks as CR LF or LF
    TMessageButtons Buttons = TMessageButtons::Ok;
};

// Main thread only. Shows the box and returns the button pressed (closing the box counts as its cancel or,
// for a box with "OK" alone, as "OK"). Headless: one stderr line, the default button (OK or Yes).
TModalResult ShowMessageBox(const TMessageBoxRequest& request);

// An information box with the application's title.
void ShowMessage(const std::string& text);

// True when the platform has no screen a user can see.
bool IsHeadlessPlatform();

// The caption and text as the one stderr line of a headless box.
std::string MessageBoxLine(const TMessageBoxRequest& request);

// Replaces the display of every box (tests; a host that shows boxes its own way). An empty hook restores
// the default.
using TMessageBoxHook = std::function<TModalResult(const TMessageBoxRequest&)>;
void SetMessageBoxHook(TMessageBoxHook hook);

} // namespace kalmora
