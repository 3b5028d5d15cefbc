// One pass of the implementation header, section by section.
#include "driver/state.h"
#include "header/header.h"
#include "stubs/stubs.h"

namespace darurov {

FILE* emitClass(FILE* out, const char* /*fileStem: the host's kavtfileStem names the stem header*/,
                Entry* cls) {
    writePrologue(out, cls);
    writeInstanceData(out, cls);
    writeImplementationSupport(out, cls);
    if (!pass.noApplyStubs) emitApplyStubs(out, cls);
    writeNewMethods(out, cls);
    InheritedMethodList inherited = writeOverriddenMethods(out, cls);
    writeClassCreation(out, cls, inherited);
    releaseMethodList(inherited);
    return out;
}

}  // namespace darurov
