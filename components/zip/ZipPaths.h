#pragma once

// Turning a decoded entry name into a path that stays below the base directory.

#include <string>
#include <vector>

namespace kalmora {

// The folder segments of an entry name ("." segments dropped, a folder entry's trailing "/" ignored).
// Throws EAbZipUnsafeName for a name that is absolute ("/" first, ":" anywhere, two separators in a row),
// has a ".." segment or a NUL byte, or names nothing.
std::vector<std::string> SafeRelativeSegments(const std::string& name);

} // namespace kalmora
