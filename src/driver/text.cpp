#include "driver/text.h"

#include "driver/state.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace darurov {

namespace {

// Every conversion of the format is a plain %s.
bool joinsTextsOnly(const char* format) {
    for (const char* at = std::strchr(format, '%'); at; at = std::strchr(at + 2, '%'))
        if (at[1] != 's') return false;
    return true;
}

// Appends the text of a format whose conversions are all %s, as printf would write it.
void joinTexts(std::string& text, const char* format, va_list args) {
    const char* at = format;
    for (const char* percent = std::strchr(at, '%'); percent; percent = std::strchr(at, '%')) {
        text.append(at, static_cast<std::size_t>(percent - at));
        const char* value = va_arg(args, const char*);
        text += value ? value : "(null)";
        at = percent + 2;
    }
    text += at;
}

void appendFormatted(std::string& text, const char* format, va_list args) {
    // Most formats here join names: without the library's formatter, which costs far more.
    if (joinsTextsOnly(format)) return joinTexts(text, format, args);
    va_list again;
    va_copy(again, args);
    // Most texts fit a line: formatted once, into a local buffer; a longer one again at its size.
    char line[256];
    int length = std::vsnprintf(line, sizeof line, format, args);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof line) {
        text.append(line, static_cast<std::size_t>(length));
    } else if (length > 0) {
        const std::size_t from = text.size();
        text.resize(from + static_cast<std::size_t>(length));
        std::vsnprintf(text.data() + from, static_cast<std::size_t>(length) + 1, format, again);
    }
    va_end(again);
}

}  // namespace

std::string formatText(const char* format, ...) {
    std::string text;
    va_list args;
    va_start(args, format);
    appendFormatted(text, format, args);
    va_end(args);
    return text;
}

void appendText(std::string& text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    appendFormatted(text, format, args);
    va_end(args);
}

const char* prefixedName(const char* first, const char* second) {
    // Built aside first: a caller may pass the previous result back in.
    const std::string_view parts[] = {first, kavtclassPrefix ? kavtclassPrefix : "", second};
    std::string& text = pass.prefixedNameScratch;
    text.resize(parts[0].size() + parts[1].size() + parts[2].size());
    char* at = text.data();
    for (std::string_view part : parts) at = std::copy(part.begin(), part.end(), at);
    text.swap(pass.prefixedNameText);
    return pass.prefixedNameText.c_str();
}

namespace {

// The characters a string literal cannot hold as they are: controls, DEL, the quote and the
// backslash (which starts an escape).
constexpr auto literalSpecial = [] {
    std::array<bool, 256> special{};
    for (int c = 0; c < 0x20; ++c) special[c] = true;
    special[0x7f] = special['"'] = special['\\'] = true;
    return special;
}();

// A whole C string literal of `n` characters: quotes at both ends, every inner quote and
// backslash escaped, no control character.
bool isStringLiteral(const char* value, size_t n) {
    if (n < 2 || value[0] != '"' || value[n - 1] != '"') return false;
    for (size_t i = 1; i + 1 < n; ++i) {
        unsigned char c = static_cast<unsigned char>(value[i]);
        if (!literalSpecial[c]) continue;
        if (c != '\\') return false;
        if (++i + 1 >= n) return false;  // an escape needs its character
    }
    return true;
}

}  // namespace

// The text is written into a C string: a quote, a backslash or a control character in it is
// escaped, so that any value gives a string literal the compiler reads back as that value.
const char* quotedText(std::string& dest, const char* value) {
    if (value[0] == '"') {
        const size_t n = std::strlen(value);
        if (isStringLiteral(value, n)) {
            dest.assign(value, n);
            return dest.c_str();
        }
    }
    dest.assign(1, '"');
    // The characters between two that need an escape are copied as one run.
    const char* run = value;
    const char* p = value;
    for (; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (!literalSpecial[c]) continue;
        dest.append(run, static_cast<std::size_t>(p - run));
        run = p + 1;
        if (c == '"' || c == '\\') {
            dest += '\\';
            dest += static_cast<char>(c);
        } else if (c == '\n') {
            dest += "\\n";
        } else if (c == '\t') {
            dest += "\\t";
        } else {
            dest += formatText("\\%03o", c);
        }
    }
    dest.append(run, static_cast<std::size_t>(p - run));
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
