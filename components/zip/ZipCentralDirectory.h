#pragma once

// Finds the end record, follows Zip64 records and reads the whole central directory once.

#include "zip/ZipItem.h"
#include "zip/ZipNames.h"
#include "zip/ZipSource.h"

#include <vector>

namespace kalmora {

struct TZipDirectory {
    std::vector<TZipItem> items; // in central directory order
    // Bytes in front of the archive proper (a self-extractor stub): every stored offset is shifted by them.
    uint64_t archiveStart = 0;
    // Where the central directory begins; no entry's data may reach into it.
    uint64_t centralDirectoryStart = 0;
};

// True when the source is empty or holds an end of central directory record.
bool IsZipArchive(TZipSource& source);

// Reads the directory of an archive the caller has recognised. An empty source gives no entries.
// Throws EAbUnhandledType without an end record, EAbZipInvalid for a multi-volume archive or a central
// directory that cannot be located or read.
TZipDirectory ReadZipDirectory(TZipSource& source, TZipNameDecoder& names);

} // namespace kalmora
