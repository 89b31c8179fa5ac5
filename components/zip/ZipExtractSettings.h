#pragma once

// What an extraction is asked to do, apart from where: the options, the password and the handlers the
// caller sets on the archive and each entry's extraction works with.

#include "zip/ZipItem.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace kalmora {

enum class TExtractOption : uint8_t {
    eoCreateDirs = 1,  // create missing parent folders of an entry
    eoRestorePath = 2, // keep the entry's stored folder path (otherwise only its last segment is used)
};

class TExtractOptions {
public:
    constexpr TExtractOptions() = default;
    constexpr TExtractOptions(TExtractOption option) : FBits(static_cast<uint8_t>(option)) {}
    constexpr TExtractOptions operator|(TExtractOptions other) const { return FromBits(FBits | other.FBits); }
    constexpr bool Contains(TExtractOption option) const {
        return (FBits & static_cast<uint8_t>(option)) != 0;
    }

private:
    static constexpr TExtractOptions FromBits(unsigned bits) {
        TExtractOptions options;
        options.FBits = static_cast<uint8_t>(bits);
        return options;
    }
    uint8_t FBits = 0;
};

constexpr TExtractOptions operator|(TExtractOption a, TExtractOption b) {
    return TExtractOptions(a) | TExtractOptions(b);
}

// Asked before an existing file is replaced; leaving confirm false keeps the file.
using TConfirmOverwriteEvent = std::function<void(const TZipItem& item, bool& confirm)>;
// Asked when an encrypted entry has no password or the password failed its check; a new password may be set.
using TNeedPasswordEvent = std::function<void(const TZipItem& item, std::string& password)>;
// Told about an entry that could not be extracted; extraction goes on with the next one.
using TProcessItemFailureEvent = std::function<void(const TZipItem& item, const std::exception& error)>;

// The settings one run over the entries works with.
struct TZipExtractSettings {
    TExtractOptions options;
    std::string password; // a password the handler supplies replaces it for the entries after
    int passwordRetries = 3;
    TConfirmOverwriteEvent onConfirmOverwrite;
    TNeedPasswordEvent onNeedPassword;
};

} // namespace kalmora
