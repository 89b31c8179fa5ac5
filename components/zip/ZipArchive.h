#pragma once

// The extraction component: opens one archive, reads its central directory once and extracts its entries
// below BaseDirectory. Not shared between threads; each user creates its own.

#include "zip/ZipExtractSettings.h"
#include "zip/ZipItem.h"
#include "zip/ZipNames.h"

#include <memory>
#include <string>
#include <vector>

namespace kalmora {

class TZipSource;

class TZipArchive {
public:
    TZipArchive();
    ~TZipArchive();
    TZipArchive(const TZipArchive&) = delete;
    TZipArchive& operator=(const TZipArchive&) = delete;

    std::string BaseDirectory;
    // A password that OnNeedPassword supplies holds for the rest of that ExtractFiles call; this one stays.
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
