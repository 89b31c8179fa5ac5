// libFuzzer target: any byte string as a script, compiled and run with bounded steps, call depth and text
// size. A script error or an exception the script raises is an answer; crashes, leaks and hangs are not.

#include "ScriptFuzzRun.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        kalmora::fuzz::RunScriptInput(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const kalmora::Exception&) {
    }
    return 0;
}
