// Text and name helpers shared by the sections: printf-style formatting into a std::string
// (long host names never overflow a buffer) and the names of methods and their stubs.
#pragma once

#include "host/kavc.h"

#include <string>

namespace darurov {

std::string formatText(const char* format, ...) KAVT_PRINTF(1, 2);
// The same, appended to `text`.
void appendText(std::string& text, const char* format, ...) KAVT_PRINTF(2, 3);

// Every method-function declaration starts with this macro; the prologue defines it.
inline constexpr const char* scopeMacro = "KAV_Scope";

// first + host class prefix (or nothing) + second; the next call overwrites the text.
const char* prefixedName(const char* first, const char* second);
// `value` unchanged when it is a whole C string literal already, else wrapped in double
// quotes with its quotes, backslashes and control characters escaped.
const char* quotedText(std::string& dest, const char* value);
// The name of a method's apply stub; "NULL" when the pass writes no apply stubs.
// An "apply" modifier without a value is fatal (message 24).
const char* applyStubName(Entry* method);
// The type of the class object: the explicit metaclass's name, else "KAVClass".
const char* metaclassTypeName(Entry* cls);

}  // namespace darurov
