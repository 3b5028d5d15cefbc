// Small text functions shared by the sections that name methods and their stubs.
#include "driver/state.h"
#include "driver/text.h"
#include "header/header.h"

namespace darurov {

const char* prefixedName(const char* first, const char* second) {
    static std::string buffer;
    // Built aside first: a caller may pass the previous result back in.
    buffer = formatText("%s%s%s", first, kavtclassPrefix ? kavtclassPrefix : "", second);
    return buffer.c_str();
}

const char* quotedText(std::string& dest, const char* value) {
    if (value[0] == '"')
        dest = value;
    else
        dest = formatText("\"%s\"", value);
    return dest.c_str();
}

const char* applyStubName(Entry* method) {
    if (pass.noApplyStubs) return "NULL";
    if (const char* apply = kavtgetatt(method, "apply")) {
        if (!isBareValue(apply)) return apply;
        kavtmrifatal(method->cls ? method->cls->file : kavtfilePath, method->lineno, 24);
        kavtcleanFilesFatal(-1);
    }
    if (const char* generate = kavtgetatt(method, "generateapply")) {
        if (!isBareValue(generate)) return generate;
        return prefixedName("kavGAP_", method->name);
    }
    return prefixedName("kavAP_", method->name);
}

const char* metaclassTypeName(Entry* cls) {
    return cls->metaclass ? cls->metaclass->name : "KAVClass";
}

}  // namespace darurov
