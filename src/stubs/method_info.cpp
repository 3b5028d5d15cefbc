// Method information: what the runtime needs to build a method's redispatch and apply
// stubs itself (return kind, argument area size, where the floating-point arguments lie).
#include "driver/sections.h"
#include "driver/text.h"
#include "stubs/stubs.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace darurov {

namespace {

// One row of the return-kind table; the first row that matches gives the code.
struct ReturnKindRule {
    bool structResult;         // only for methods that return a structure
    std::array<int, 4> sizes;  // the result size is one of these (none listed: any size)
    int kind;                  // the result kind (0: any kind)
    int code;
};

inline constexpr ReturnKindRule returnKindRules[] = {
    {true, {1, 2, 4, 8}, 0, 14},
    {true, {}, 0, 8},
    {false, {1}, 0, 10},
    {false, {2}, 0, 12},
    {false, {}, kavtTkFloat, 2},
    {false, {}, kavtTkDouble, 4},
};
inline constexpr int otherReturnKind = 0;

bool matches(const ReturnKindRule& rule, bool returnsStruct, int size, int kind) {
    if (rule.structResult && !returnsStruct) return false;
    const bool anySize = rule.sizes[0] == 0;
    // Unused places are 0, and a result of size 0 (void) must not match them.
    if (!anySize && (size == 0 || std::find(rule.sizes.begin(), rule.sizes.end(), size) ==
                                      rule.sizes.end()))
        return false;
    return rule.kind == 0 || rule.kind == kind;
}

// Kinds the runtime passes by reference: one pointer in the argument area.
bool passedByReference(int kind) {
    return kind == kavtTkStruct || kind == kavtTkUnion || kind == kavtTkString ||
           kind == kavtTkSequence || kind == kavtTkArray;
}

// Offsets are multiples of 4, which leaves the two low bits of a slot for flags.
inline constexpr int floatFlag = 1;
inline constexpr int lastSlotFlag = 2;

int roundUpTo4(int size) { return (size + 3) & ~3; }

}  // namespace

int returnKindCode(Entry* method) {
    const bool returnsStruct = kavtreturnsStruct(method) != 0;
    const int size = kavttcSize(method->typeCode, 0);
    const int kind = kavttcKind(method->typeCode, 0);
    for (const ReturnKindRule& rule : returnKindRules)
        if (matches(rule, returnsStruct, size, kind)) return rule.code;
    return otherReturnKind;
}

void buildFloatMap(Entry* firstParam, FloatMap& map, int& argumentAreaSize) {
    map = FloatMap{};
    for (Entry* param = firstParam; param; param = param->next) {
        const int kind = kavttcKind(param->typeCode, 0);
        const bool byValue = param->mode == kavtModeIn;
        const bool room = map.count < floatMapSlots;
        if (kind == kavtTkDouble && byValue && room)
            map.slots[map.count++] = argumentAreaSize;
        else if (kind == kavtTkFloat && byValue && room)
            map.slots[map.count++] = argumentAreaSize + floatFlag;
        argumentAreaSize +=
            passedByReference(kind) ? 4 : kavttcSize(param->typeCode, 0);
        argumentAreaSize = roundUpTo4(argumentAreaSize);
    }
    if (map.count != 0) map.slots[map.count - 1] += lastSlotFlag;
}

void emitMethodInfo(FILE* out, Entry* method) {
    // Read until the last line: nothing below makes another prefixed name.
    const char* p = prefixedName("", method->name);
    int code = returnKindCode(method);
    // The object pointer, then one word per implicit argument.
    const std::string_view implicitArgs = kavtimplicitArgs(method);
    int size = 4 + 4 * static_cast<int>(std::count(implicitArgs.begin(), implicitArgs.end(), ','));

    FloatMap map{};
    buildFloatMap(method->params, map, size);
    const bool hasFloatMap = map.count != 0;
    if (hasFloatMap) {
        code += 1;
        kavtokfprintf(out, "\nstatic kavFloatMap %sFloatMap = {\n", p);
        for (int slot : map.slots) kavtokfprintf(out, "%d, ", slot);
        kavtokfprintf(out, "};\n");
    }
    kavtokfprintf(out, "\nstatic kavMethodInfo %sMethodInfo = {%d, %d, %s%s%s};\n", p,
                  code, size, hasFloatMap ? "&" : "", hasFloatMap ? p : "",
                  hasFloatMap ? "FloatMap" : "0");
    kavtokfprintf(out, "\nstatic kavApRdInfo %sStubs = {0, 0, &%sMethodInfo};\n", p,
                  p);
}

}  // namespace darurov
