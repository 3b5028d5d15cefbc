// A stand-in emitter for kc's tests: it opens the header, writes a line, then raises the signal
// named by KC_TEST_RAISE, so that kc is interrupted while its temporary file exists.
#include "host/kavc.h"

#include <csignal>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) FILE* emit(const char* fileStem, Entry*, Stab*) {
    FILE* out = kavtopenEmitFile(fileStem, "xih");
    kavtokfprintf(out, "/* partial */\n");
    std::fflush(out);
    if (const char* sig = std::getenv("KC_TEST_RAISE")) std::raise(std::atoi(sig));
    return out;
}
