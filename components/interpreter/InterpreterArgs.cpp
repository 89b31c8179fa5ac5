#include "InterpreterArgs.h"

namespace kalmora {

std::vector<Variant> TJvInterpreterArgs::FormatArgs(int first) const {
    std::vector<Variant> result;
    for (int i = first < 0 ? 0 : first; i < Count(); ++i) {
        const Variant& arg = Values[static_cast<std::size_t>(i)];
        if (arg.IsArray())
            result.insert(result.end(), arg.Items().begin(), arg.Items().end());
        else
            result.push_back(arg);
    }
    return result;
}

} // namespace kalmora
