// Closes the apply-stub section: declares the stubs its methods named but did not define.
#include "driver/state.h"
#include "stubs/stubs.h"

namespace darurov {

void emitStubExternals(FILE* out, Stab* registry) {
    bool bannerWritten = false;
    for (auto* record = static_cast<StubRecord*>(kavtstabFirst(registry, 0)); record;
         record = static_cast<StubRecord*>(kavtstabNext(registry, 0))) {
        if (!bannerWritten) {
            kavtfullComment(out,
                            "Generate dummy external for those stubs that are not declared in this file.");
            bannerWritten = true;
        }
        if (record->definedHere) continue;
        const char* s = record->stubName;
        // The class pass may already have declared the same stub in this file.
        if (inMetaclassPass()) kavtokfprintf(out, "#ifndef %sD\n", s);
        kavtokfprintf(out, "#define %sD 1\n", s);
        kavtokfprintf(out, "KAVEXTERN kavMethodProc %s %s;\n", pass.linkageMacro, s);
        if (inMetaclassPass()) kavtokfprintf(out, "#endif /* %sD */\n", s);
    }
}

}  // namespace darurov
