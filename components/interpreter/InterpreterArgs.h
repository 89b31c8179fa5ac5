#pragma once

// What a host function receives besides its result: the call's arguments by position, the object a member is
// invoked on, and the by-reference bookkeeping the interpreter uses to copy changed arguments back.

#include "Variant.h"

#include <vector>

namespace kalmora {

class TJvInterpreterArgs {
public:
    int Count() const noexcept { return static_cast<int>(Values.size()); }
    // The argument at position index (0 is the first). Changes to a by-reference argument reach the script's
    // variable after the call; changes to others are dropped.
    Variant& operator[](int index) { return Values.at(static_cast<std::size_t>(index)); }
    const Variant& operator[](int index) const { return Values.at(static_cast<std::size_t>(index)); }

    // The object a member is invoked on; none for plain functions.
    TScriptObject* Obj() const noexcept { return FObj; }

    // The arguments from position first onward as a format-argument list: an array argument contributes its
    // elements (the script writes Format('%d %s', [1, 'a'])), any other argument itself.
    std::vector<Variant> FormatArgs(int first) const;

    std::vector<Variant> Values;
    TScriptObject* FObj = nullptr;
};

} // namespace kalmora
