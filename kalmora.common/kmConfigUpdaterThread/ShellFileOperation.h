#pragma once

// The platform shell's file operation, as the package installation uses it, done by our own tree copy.

#include <string>

namespace kalmora {

enum ShellOperation : unsigned { FO_MOVE = 1, FO_COPY = 2, FO_DELETE = 3, FO_RENAME = 4 };

// Without any user interaction (showUI changes nothing here):
// - FO_COPY: a recursive, merging, overwriting copy. From "DIR/*" copies DIR's content into To; a folder is
//   copied into To when To is a folder, else as To; a file likewise.
// - FO_MOVE: as FO_COPY, but renames where it can and removes the source after a complete copy.
// - FO_DELETE: deletes From (a file or a whole tree; "DIR/*" empties DIR). To is not used.
// - FO_RENAME: renames From to To; an existing To makes it fail.
// False without touching anything when From is empty, To is empty (but for FO_DELETE), or From and To are
// equal ignoring case.
bool ShellFileOperation(const std::string& from, const std::string& to, unsigned operation, bool showUI);

} // namespace kalmora
