// The header's opening: guard, includes and passthru, KAV_Scope, the method count and the
// custom class-init declaration. Also fixes the pass's prefixes and guard suffix.
#include "driver/state.h"
#include "header/header.h"

#include <cstring>

namespace darurov {

namespace {

// The class's own "C.xih" passthru, or the "C.ih" one when that wrote nothing and the user
// asked for the fallback with "passih".
void emitClassPassthru(FILE* out, Entry* cls, const char* position) {
    if (kavtemitPassthru(out, cls, "C.xih", 2, position)) return;
    if (optionSet(Option::passih)) kavtemitPassthru(out, cls, "C.ih", 2, position);
}

// The public stem header, or the private one for a ZDL class with private methods.
const char* stemHeaderSuffix(Entry* cls) {
    if (pass.zdlClass && kavtprivateMethodsCount(cls, kavtmeta) != 0) return ".xph";
    return ".xh";
}

}  // namespace

void writePrologue(FILE* out, Entry* cls) {
    pass.guardSuffix = inMetaclassPass() ? "mxih" : "xih";
    bool externC = true;
    pass.externalPrefix = modValue(cls, Option::externalprefix);
    pass.classPrefix = modValue(cls, Option::classprefix);
    if (!pass.externalPrefix) {
        pass.externalPrefix = kavtclassPrefix ? kavtclassPrefix : "";
        // Without any prefix the functions stay private to the implementation file.
        if (std::strcmp(pass.externalPrefix, "") == 0) externC = false;
    }

    kavtokfprintf(out, "\n#ifndef %s\n", kavtincludeOnce(cls, pass.guardSuffix, pass.nameBuffer));
    kavtokfprintf(out, "#define %s\n\n", kavtincludeOnce(cls, pass.guardSuffix, pass.nameBuffer));

    if (!inMetaclassPass()) {
        kavtokfprintf(out, "#include <kavcls.xh>\n");
        kavtokfprintf(out, "#include <kavcm.xh>\n");
        emitClassPassthru(out, cls, "!after");
        kavtokfprintf(out, "\n#ifndef %s\n", kavtincludeOnce(cls, "xh", pass.nameBuffer));
        kavtokfprintf(out, "#include <%s%s>\n", kavtfileStem, stemHeaderSuffix(cls));
        kavtokfprintf(out, "#endif\n");
    }

    kavtfullComment(out, "Set the scope of methods functions");
    kavtokfprintf(out, "#ifndef KAV_Scope\n");
    if (externC)
        kavtokfprintf(out, "#define KAV_Scope extern \"C\"\n");
    else
        kavtokfprintf(out, "#define KAV_Scope static\n");
    kavtokfprintf(out, "#endif\n");

    if (!inMetaclassPass()) emitClassPassthru(out, cls, "after");

    kavtokfprintf(out, "\n#define %s_MaxNoMethods %d\n", cls->name,
                  kavtnewMethodsCount(cls, kavtmeta, 1) + pass.reintroducedMethods.count);

    if (pass.classInitRoutine) {
        kavtfullComment(out, "Custom Class initialize routine: %s", pass.classInitRoutine);
        kavtokfprintf(out, "\nKAVEXTERN void %s %s%s(KAVClass *cls);\n", pass.linkageMacro,
                      pass.externalPrefix, pass.classInitRoutine);
    }
}

}  // namespace darurov
