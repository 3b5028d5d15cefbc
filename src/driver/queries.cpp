// Small questions every section asks about methods and names.
#include "driver/state.h"

#include <cstring>

namespace darurov {

PassState pass;

const char* methodPrefix(Entry* method, const char* externalPrefix, const char* classPrefix) {
    const char* prefix = hasMod(method, Option::metaclassMember) ? classPrefix : externalPrefix;
    return prefix ? prefix : "";
}

bool isNonStaticMethod(Entry* method) {
    return hasMod(method, Option::nonstatic) || hasMod(method, Option::nonstaticaccessors);
}

bool isStaticMethod(Entry* method) {
    return !hasMod(method, Option::procedure) && !isNonStaticMethod(method);
}

bool isOverride(Entry* method) {
    return method->type == kavtOverrideType || method->origin != nullptr;
}

bool isRootObjectClass(Entry* cls) { return std::strcmp(cls->name, rootObjectClassName) == 0; }

std::string qualifiedName(Entry* e) {
    std::string joined;
    return qualifiedNameText(e, joined);
}

const char* qualifiedNameText(Entry* e, std::string& buffer) {
    kavtsatos(e->scopedName, "::", buffer);
    // The host's joined name starts with "::"; the emitter uses it from the third character.
    return buffer.size() >= 2 ? buffer.c_str() + 2 : "";
}

}  // namespace darurov
