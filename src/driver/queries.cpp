// Small questions every section asks about methods and names.
#include "driver/state.h"

#include <cstring>

namespace darurov {

PassState pass;

const char* methodPrefix(Entry* method) {
    const char* prefix = hasMod(method, "class") ? pass.classPrefix : pass.externalPrefix;
    return prefix ? prefix : "";
}

bool isNonStaticMethod(Entry* method) {
    return hasMod(method, "nonstatic") || hasMod(method, "nonstaticaccessors");
}

bool isStaticMethod(Entry* method) {
    return !hasMod(method, "procedure") && !isNonStaticMethod(method);
}

bool isOverride(Entry* method) {
    return method->type == kavtOverrideType || method->origin != nullptr;
}

std::string qualifiedName(Entry* e) {
    std::string joined;
    kavtsatos(e->scopedName, "::", joined);
    // The host's joined name starts with "::"; the emitter uses it from the third character.
    return joined.size() >= 2 ? joined.substr(2) : std::string();
}

bool sameText(const char* a, const char* b) {
    if (!a || !b) return a == b;
    return std::strcmp(a, b) == 0;
}

}  // namespace darurov
