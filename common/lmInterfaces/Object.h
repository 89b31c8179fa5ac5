#pragma once

// The plain root object: not reference-counted, one owner. Scripts carry such objects by reference, which is
// why it is a script object: a variant holds it without owning it (the no-op counting of TScriptObject).

#include "interpreter/ScriptObject.h"

namespace kalmora {

class TObject : public TScriptObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    ~TObject() override = default;
};

} // namespace kalmora
