// libFuzzer target: any byte string as the configuration manifest, read into each kind's date and URL.
// A refused document or EManifestError is an answer; crashes, leaks and hangs are not.

#include "kmConfigUpdaterThread/ConfigManifest.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto manifest = kalmora::ParseManifestBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const char* kind : {"dev", "partner", "patch"}) {
        std::string date, url;
        try {
            kalmora::ReadManifestEntry(manifest, kind, date, url);
        } catch (const kalmora::EManifestError&) {
        }
    }
    return 0;
}
