#include "driver/text.h"

#include "driver/state.h"

#include <cstdarg>
#include <cstdio>

namespace darurov {

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? length : 0, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

const char* prefixedName(const char* first, const char* second) {
    // Built aside first: a caller may pass the previous result back in.
    pass.prefixedNameText =
        formatText("%s%s%s", first, kavtclassPrefix ? kavtclassPrefix : "", second);
    return pass.prefixedNameText.c_str();
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
    if (const char* apply = modValue(method, Option::apply)) {
        if (!isBareValue(apply)) return apply;
        kavtmrifatal(method->cls ? method->cls->file : kavtfilePath, method->lineno, 24);
        kavtcleanFilesFatal(-1);
    }
    if (const char* generate = modValue(method, Option::generateapply)) {
        if (!isBareValue(generate)) return generate;
        return prefixedName("kavGAP_", method->name);
    }
    return prefixedName("kavAP_", method->name);
}

const char* metaclassTypeName(Entry* cls) {
    return cls->metaclass ? cls->metaclass->name : "KAVClass";
}

}  // namespace darurov
