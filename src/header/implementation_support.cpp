// The part only the class's own implementation source sees: the source-selection #if,
// the trace macro, METHOD_MACROS and the two ClassData definitions.
#include "driver/lists.h"
#include "driver/state.h"
#include "driver/text.h"
#include "header/header.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace darurov {

namespace {

void writeMethodMacro(FILE* out, Entry* method) {
    kavtokfprintf(out, "  #define _%s kavSelf->%s\n", method->name, method->name);
}

void writeMethodMacros(FILE* out, Entry* cls) {
    kavtfullComment(out, "-- Method Macros for use in Method Procedures");
    kavtokfprintf(out, "#ifdef METHOD_MACROS\n");
    const std::vector<std::uint8_t>& classMembers = inheritedClassMembers(cls);
    const bool metaclassPass = inMetaclassPass();
    std::size_t at = 0;
    for (MethodRef* ref = cls->inheritedMethods; ref; ref = ref->next)
        if (classMembers[at++] == metaclassPass) writeMethodMacro(out, ref->method);
    if (inMetaclassPass()) {
        // The root metaclass's own methods carry no "class" modifier but are the
        // metaclass's methods all the same.
        for (Entry* method = kavtkavcls->methods; method; method = method->next)
            if (method->type == kavtNewMethodType) writeMethodMacro(out, method);
        for (const PassMethod& m : passMethods(cls))
            if (m.is(inPassFact) && !isMethodOf(kavtkavcls, m.method)) writeMethodMacro(out, m.method);
    } else {
        for (const PassMethod& m : passMethods(cls))
            if (m.is(inPassFact)) writeMethodMacro(out, m.method);
        for (int i = 0; i < pass.reintroducedMethods.count; ++i)
            if (Entry* method = pass.reintroducedMethods.methods[i]) writeMethodMacro(out, method);
    }
    kavtokfprintf(out, "#endif\n\n");
}

// The file stem as it stands in the module source macro: lower case, and every character that
// cannot be part of a C identifier ("my-file", "v1.2", "my file") replaced by '_'.
const char* moduleMacroStem(std::string& buffer) {
    kavtdbcslowercase(kavtfileStem, buffer);
    for (char& c : buffer)
        if (!std::isalnum(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) > 0x7f) c = '_';
    return buffer.c_str();
}

}  // namespace

void writeImplementationSupport(FILE* out, Entry* cls) {
    kavtfullComment(out, "-- Primary Implementation File Support");
    const char* lowerStem = moduleMacroStem(pass.nameBuffer);
    if (cls->companionClass)
        kavtokfprintf(out, "#if (defined(%s_Class_Source) || defined(%s_Class_Source) || defined(KAV_Module_%s_Source))\n", cls->companionClass->name, cls->name, lowerStem);
    else
        kavtokfprintf(out, "#if (defined(%s_Class_Source) || defined(KAV_Module_%s_Source))\n", cls->name, lowerStem);

    kavtfullComment(out, "Trace/Debug macro");
    kavtokfprintf(out, "#ifndef %sMethodDebug\n", cls->name);
    kavtokfprintf(out, "   #define %sMethodDebug(c,m) KAVMethodDebug(c,m)\n", cls->name);
    kavtokfprintf(out, "#endif\n");

    if (cls->metaclass) {
        kavtokfprintf(out, "#ifndef %s_Class_Source\n", cls->metaclass->name);
        kavtokfprintf(out, "#define %s_Class_Source\n", cls->metaclass->name);
        kavtokfprintf(out, "#endif\n");
    }

    writeMethodMacros(out, cls);

    kavtfullComment(out, "-- The %s ClassData Structure", cls->name);
    kavtokfprintf(out, "KAVEXTERN WIN32_DLLEXPORT struct %sClassDataStructure KAVDLINK %sClassData = {(%s *) NULL};\n", cls->name, cls->name, metaclassTypeName(cls));
    kavtfullComment(out, "-- The auxiliary %s ClassData structure", cls->name);
    kavtokfprintf(out, "KAVEXTERN WIN32_DLLEXPORT struct %sCClassDataStructure KAVDLINK %sCClassData = {(kavMethodTabs) NULL};\n\n", cls->name, cls->name);
}

}  // namespace darurov
