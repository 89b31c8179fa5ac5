#pragma once

// The extraction component: opens one archive, reads its central directory once and extracts its entries
// below BaseDirectory. Not shared between threads; each user creates its own.

#include "zip/ZipItem.h"
#include "zip/ZipNames.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kalmora {

class TZipSource;

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

class TZipArchive {
public:
    TZipArchive();
    ~TZipArchive();
    TZipArchive(const TZipArchive&) = delete;
    TZipArchive& operator=(const TZipArchive&) = delete;

    std::string BaseDirectory;
    std::string Password;
    TExtractOptions ExtractOptions;
    int PasswordRetries = 3;
    // The legacy code page of names that are not UTF-8 (an iconv name).
    std::string OemCodePage{DefaultOemCodePage};
    TConfirmOverwriteEvent OnConfirmOverwrite;
    TNeedPasswordEvent OnNeedPassword;
    TProcessItemFailureEvent OnProcessItemFailure;

    // Recognises the file, opens it for reading, checks BaseDirectory and reads the central directory.
    // Throws EAbUnhandledType, EAbNoSuchDirectory, EAbZipInvalid, or EInOutError when the file cannot be
    // opened. On a throw nothing stays open.
    void Open(const std::string& fileName);
    // The same on bytes in memory (tests, fuzzing); nothing is written back on Close.
    void OpenSource(std::unique_ptr<TZipSource> source);

    // Extracts every entry whose name matches mask ("*.*" and "*" match all) in central directory order.
    // Per-entry failures go to OnProcessItemFailure; only a parent folder that cannot be created throws
    // (EInOutError) and ends the extraction.
    void ExtractFiles(const std::string& mask);

    // Closes the archive. An opened file archive without entries is rewritten as the empty archive (an end
    // record alone) when it holds anything else; a file that cannot be rewritten is left as it is.
    void Close();

    bool Active() const;
    const std::vector<TZipItem>& Items() const;

private:
    struct TState;
    // Recognises the archive of an opened source, checks BaseDirectory and reads the central directory.
    void Load(std::unique_ptr<TState> state);
    std::unique_ptr<TState> FState;
};

} // namespace kalmora
