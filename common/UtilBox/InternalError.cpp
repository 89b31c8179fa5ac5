#include "InternalError.h"

namespace kalmora {

EInternalError::EInternalError(std::string message)
    : Exception(message.empty() ? std::string("Internal Error: EInternalError") : std::move(message)) {}

} // namespace kalmora
