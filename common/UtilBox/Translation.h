#pragma once

// The program's message catalogue: GNU gettext, text domain "kalmora-updater", with the German text as the
// message id. Without a catalogue (or without an entry) a lookup gives the id back unchanged.

#include <string>
#include <string_view>

namespace kalmora {

inline constexpr std::string_view TextDomain = "kalmora-updater";

// Binds the text domain to the first catalogue folder that exists: the installed share/locale beside the
// program's bin folder, then the build tree's locale folder. `localeDir` (for tests) replaces both. Makes the
// domain the default one. Safe to call again.
void InitTranslation(const std::string& localeDir = {});

// The translation of a German message id.
std::string Translate(std::string_view germanText);

// Marks a text for extraction into the catalogue template without translating it here.
constexpr std::string_view N_(std::string_view text) {
    return text;
}

} // namespace kalmora
