#pragma once

// The plain root object: not reference-counted, one owner. Scripts carry such objects by reference.

namespace kalmora {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

} // namespace kalmora
