#include "driver/text.h"

#include "driver/state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace darurov {

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    // Most texts fit a line: formatted once, into a local buffer; a longer one again at its size.
    char line[256];
    int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::string text;
    if (length > 0 && static_cast<std::size_t>(length) < sizeof line) {
        text.assign(line, static_cast<std::size_t>(length));
    } else if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

const char* prefixedName(const char* first, const char* second) {
    // Built aside first: a caller may pass the previous result back in.
    std::string& text = pass.prefixedNameScratch;
    text.assign(first).append(kavtclassPrefix ? kavtclassPrefix : "").append(second);
    text.swap(pass.prefixedNameText);
    return pass.prefixedNameText.c_str();
}

namespace {

// A whole C string literal: quotes at both ends, every inner quote and backslash escaped,
// no control character.
bool isStringLiteral(const char* value) {
    size_t n = std::strlen(value);
    if (n < 2 || value[0] != '"' || value[n - 1] != '"') return false;
    for (size_t i = 1; i + 1 < n; ++i) {
        unsigned char c = static_cast<unsigned char>(value[i]);
        if (c < 0x20 || c == 0x7f || c == '"') return false;
        if (c == '\\' && ++i + 1 >= n) return false;  // an escape needs its character
    }
    return true;
}

}  // namespace

// The text is written into a C string: a quote, a backslash or a control character in it is
// escaped, so that any value gives a string literal the compiler reads back as that value.
const char* quotedText(std::string& dest, const char* value) {
    if (value[0] == '"' && isStringLiteral(value)) {
        dest = value;
        return dest.c_str();
    }
    dest = "\"";
    for (const char* p = value; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            dest += '\\';
            dest += static_cast<char>(c);
        } else if (c == '\n') {
            dest += "\\n";
        } else if (c == '\t') {
            dest += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            dest += formatText("\\%03o", c);
        } else {
            dest += static_cast<char>(c);
        }
    }
    dest += '"';
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
