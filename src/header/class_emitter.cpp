// One pass of the implementation header: every section writer, in the header's order.
#include "driver/sections.h"
#include "driver/state.h"
#include "header/header.h"

namespace darurov {

FILE* emitClass(FILE* out, const char* /*fileStem: the host's kavtfileStem names the stem header*/,
                Entry* cls) {
    writePrologue(out, cls);
    writeInstanceData(out, cls);
    writeImplementationSupport(out, cls);
    if (!pass.noApplyStubs) emitApplyStubs(out, cls);
    writeNewMethods(out, cls);
    InheritedMethodList inherited = writeOverriddenMethods(out, cls);

    writeClassObjectBanner(out);
    writeStaticMethodTable(out, cls, pass.externalPrefix, pass.classPrefix);
    writeOverrideMethodTable(out, cls, pass.externalPrefix, pass.classPrefix);
    writeGeneralMethodTable(out, cls, pass.externalPrefix, pass.classPrefix);
    countClassDataEntries(cls);
    writeMigratedMethodTable(out, cls, inherited);
    writeClassInfo(out, cls, pass.externalPrefix, pass.classPrefix);
    writeNewClassRoutine(out, cls);
    kavtgenAttStubs(out, cls, pass.externalPrefix, pass.classPrefix);
    emitInitializerMacros(out, cls);
    writeEpilogue(out, cls);

    finishInheritedMethods(inherited);
    return out;
}

}  // namespace darurov
