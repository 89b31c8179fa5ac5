// libFuzzer target: any byte string as a hive file (UTF-8, or UTF-16LE after its byte order mark). What
// parses must survive being written back: the written text parses again into the same keys and values.

#include "registry/RegFileFormat.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace kalmora::registry;

namespace {

std::string WriteBack(const TRegFileContent& content, HiveId hive) {
    TRegNode root;
    ApplySections(content, hive, root);
    return FormatRegFile(root, hive);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    TRegFileContent content;
    std::string error;
    if (!ParseRegFile(text, content, error))
        return 0;
    for (HiveId hive : {HiveId::LocalMachine, HiveId::CurrentUser}) {
        std::string written = WriteBack(content, hive);
        TRegFileContent reread;
        if (!ParseRegFile(written, reread, error) || !reread.Refused.empty())
            std::abort(); // a hive we wrote that we cannot read back would be lost at the next write
        if (WriteBack(reread, hive) != written)
            std::abort();
    }
    return 0;
}
