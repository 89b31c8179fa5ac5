#pragma once

#include <set>
#include <string>
#include <vector>

namespace kalmora {

// One entry that could not be extracted, with the reason (the exception's class and message).
struct TZipEntryFailure {
    std::string Entry;
    std::string Reason;
};

// Unpacks the whole archive below targetDir, restoring its folders; password may be empty. Entries that fail
// one by one are absent from the target and listed in the result, in archive order; only a failure that stops
// the whole extraction raises. ownModes, when given, receives the paths below targetDir ("/" between
// segments) of the entries that carry a Unix mode of their own.
std::vector<TZipEntryFailure> ExtractZipFile(const std::string& archiveFile, const std::string& targetDir,
                                             const std::string& password,
                                             std::set<std::string>* ownModes = nullptr);

} // namespace kalmora
