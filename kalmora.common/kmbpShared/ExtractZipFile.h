#pragma once

#include <string>

namespace kalmora {

// Unpacks the whole archive below targetDir, restoring its folders; password may be empty. Entries that fail
// one by one are simply absent; only a failure that stops the whole extraction raises.
void ExtractZipFile(const std::string& archiveFile, const std::string& targetDir,
                    const std::string& password);

} // namespace kalmora
