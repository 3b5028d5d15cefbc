// Fuzz target: raw bytes as an IDL file through the preprocessor, parser, lowering and emitter.
#include "fuzz/compile_text.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    darurov_fuzz::compileText(std::string(reinterpret_cast<const char*>(data), size), {});
    return 0;
}
