#pragma once

// `kalmora-publish verify`: checks a configuration server, or the folder it publishes, the way an updater in
// signed mode does.

#include "lmSignature/Minisign.h"

#include <optional>
#include <string>
#include <vector>

namespace kalmora::publish {

struct TVerifyReport {
    std::vector<std::string> Lines;  // what was checked, for stdout
    std::vector<std::string> Faults; // one line each, naming the file or URL; none when a client installs all
};

// `source` is a base URL ("http[s]://.../kmdata/kmconfig/") or a folder. The manifest must be signed by one
// of `keys` with a timestamp, every kind's element must carry a sha256, and every package must match it and
// its size and unpack cleanly (the patch's encrypted entries only with a password). Packages from a server
// are downloaded into a work folder below the temporary directory, as an updater does.
TVerifyReport VerifyPublication(const std::string& source, const std::vector<TMinisignKey>& keys,
                                const std::optional<std::string>& password);

// A key as the second line of a minisign ".pub" file, or the name of such a file. Raises ESignatureError
// or EInOutError.
TMinisignKey ReadPublicKey(const std::string& keyOrFile);

} // namespace kalmora::publish
