#pragma once

// The two inflaters behind method 8. ISA-L is the fast one; zlib is always built and can be chosen with
// KALMORA_INFLATE=zlib in the environment, to compare the two or to step around a fault in one of them.

#include "zip/ZipDecoder.h"

namespace kalmora {

enum class TInflater { Isal, Zlib };

// Whether this build contains the inflater.
bool InflaterBuilt(TInflater inflater);
// The inflater method 8 uses now: zlib when KALMORA_INFLATE says "zlib" or ISA-L is not built, else ISA-L.
TInflater SelectedInflater();

std::unique_ptr<TZipDecoder> MakeZlibDeflateDecoder(TZipEntryInput& input);
// Throws EAbZipInvalidMethod in a build without ISA-L.
std::unique_ptr<TZipDecoder> MakeIsalDeflateDecoder(TZipEntryInput& input);

} // namespace kalmora
