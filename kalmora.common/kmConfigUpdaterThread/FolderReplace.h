#pragma once

// Replacing a kind's configuration folder so that at every instant it holds its old or its new content.

#include <string>

namespace kalmora {

// The name under which the old content waits while a file system without an atomic exchange replaces target.
std::string SetAsideName(const std::string& target);

// Puts newFolder in the place of target. With an atomic exchange the old content is left at newFolder's path
// for the caller to delete; otherwise it is set aside, the new folder moved in, and the set-aside copy
// deleted (or moved back when the move fails). A missing target is simply created by the move. Returns 0, or
// the errno value of the step that failed, with target unchanged.
int ReplaceFolder(const std::string& newFolder, const std::string& target);

// What a killed replacement left behind: a set-aside copy goes back when target is missing and is deleted
// otherwise.
void RecoverReplacedFolder(const std::string& target);

} // namespace kalmora
