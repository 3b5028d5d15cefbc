// The fields a static method row and a non-static row have in common, and the rows and
// closing line every table shares.
#include "tables/method_row.h"

#include "driver/text.h"


namespace darurov {

namespace {

// The runtime makes the stubs; the row only names the stubs record, unless the compiler of
// the header defines the opt-out macro.
void writeRuntimeStubFields(FILE* out, Entry* method) {
    const char* stubPrefix = prefixedName("", method->name);  // the only prefixed name of these lines
    kavtokfprintf(out, "         (kavMethodProc *)((void*)-1),\n");
    kavtokfprintf(out, "#ifdef %s_kavApRdDefault\n", stubPrefix);
    kavtokfprintf(out, "         0},\n");
    kavtokfprintf(out, "#else\n");
    kavtokfprintf(out, "         (kavMethodProc *) ((void*) &%sStubs) },\n", stubPrefix);
    kavtokfprintf(out, "#endif\n");
}

void writeExplicitStubFields(FILE* out, Entry* method) {
    if (pass.noRedispatchStubs)
        kavtokfprintf(out, "         (kavMethodProc *) NULL,\n");
    else
        kavtokfprintf(out, "         (kavMethodProc *) %s,\n",
                      prefixedName("kavRD_", method->name));
    kavtokfprintf(out, "         (kavMethodProc *) %s    },\n", applyStubName(method));
}

}  // namespace

void writeMethodRowFields(FILE* out, Entry* method, const char* prefix) {
    kavtokfprintf(out, "         &kavId_%s,\n", method->name);
    if (pass.noDescriptors)
        kavtokfprintf(out, "         (kavId *) NULL,\n");
    else
        kavtokfprintf(out, "         &kavDI_%s,\n", method->name);
    kavtokfprintf(out, "         (kavMethodProc *) %s%s,\n", prefix, method->name);
    if (hasTypeCodes())
        writeRuntimeStubFields(out, method);
    else
        writeExplicitStubFields(out, method);
}

bool startRow(FILE* out, unsigned& rows) {
    if (rows++ == 0) return true;
    kavtokfprintf(out, ",\n");
    return false;
}

void closeTable(FILE* out, unsigned rows) {
    if (rows != 0) kavtokfprintf(out, "};\n\n");
}

}  // namespace darurov
