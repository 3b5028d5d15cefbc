#include "kc/driver.h"
#include "kavc/model.h"

#include <cstdio>
#include <new>

int main(int argc, char** argv) {
    try {
        return kc::runCompiler(argc, argv);
    } catch (const std::bad_alloc&) {
        // Out of memory: what was unwound is freed, so the temporary file can still go.
        kavc::discardOutput();
        std::fputs("kc: fatal error: out of memory\n", stderr);
        return 2;
    }
}
