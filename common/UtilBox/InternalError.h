#pragma once

#include "runtime/Exceptions.h"

namespace kalmora {

// Programming errors and states the system cannot handle. An empty message names the class instead.
class EInternalError : public Exception {
public:
    explicit EInternalError(std::string message = {});
    std::string_view ClassName() const noexcept override { return "EInternalError"; }
};

} // namespace kalmora
