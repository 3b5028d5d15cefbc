// Attribute accessor bodies the host writes into the header.
//
// An accessor is written only when the host can implement it soundly: the class has an
// instance data member of the attribute's name in the same pass (the attribute's storage),
// the accessor is not marked as implemented by the class ("noget" / "noset" on the
// attribute), and the type is not an array (which C cannot return or assign).
#include "kavc/store.h"

#include <unordered_map>

using namespace kavc::detail;

namespace {

// The instance data members of the pass by name (interned: one pointer per name), the first
// of each name: where an attribute keeps its value.
std::unordered_map<const char*, Entry*> storageByName(Entry* cls, bool meta) {
    std::unordered_map<const char*, Entry*> storage;
    for (Entry* d = cls->data; d; d = d->next)
        if (hasMod(d, darurov::Option::metaclassMember) == meta && !hasMod(d, darurov::Option::staticdata))
            storage.try_emplace(d->name, d);
    return storage;
}

const char* prefixOf(Entry* accessor, const char* externalPrefix, const char* classPrefix) {
    const char* prefix = hasMod(accessor, darurov::Option::metaclassMember) ? classPrefix : externalPrefix;
    return prefix ? prefix : "";
}

}  // namespace

void kavtgenAttStubs(FILE* out, Entry* cls, const char* externalPrefix, const char* classPrefix) {
    if (!out || !cls || cls->type != kavtClassType || !cls->hostData) return;
    bool meta = kavtmeta != 0;
    const std::vector<Entry*>& attributes = classInfo(cls).attributes;
    if (attributes.empty()) return;
    std::unordered_map<const char*, Entry*> storage = storageByName(cls, meta);
    for (Entry* a : attributes) {
        AttributeInfo& attr = attributeInfo(a);
        TypeCode* real = resolveAlias(attr.declared);
        if (real && real->kind == kavtTkArray) continue;
        if (!storage.count(a->name)) continue;
        std::string prototype;
        Entry* getter = attr.getter;
        if (getter && hasMod(getter, darurov::Option::metaclassMember) == meta && !hasMod(a, darurov::Option::noget)) {
            kavtprefixedPrototype(prototype, getter, ", ", 0, prefixOf(getter, externalPrefix, classPrefix));
            kavtokfprintf(out, "\n/* Accessor of attribute %s */\n", a->name);
            kavtokfprintf(out, "KAV_Scope %s\n{\n", prototype.c_str());
            kavtokfprintf(out, "    return %sGetData(kavSelf)->%s;\n}\n", cls->name, a->name);
        }
        Entry* setter = attr.setter;
        if (setter && hasMod(setter, darurov::Option::metaclassMember) == meta && !hasMod(a, darurov::Option::noset)) {
            kavtprefixedPrototype(prototype, setter, ", ", 0, prefixOf(setter, externalPrefix, classPrefix));
            const char* value = passedByReference(attr.declared) ? "*" : "";
            kavtokfprintf(out, "\n/* Accessor of attribute %s */\n", a->name);
            kavtokfprintf(out, "KAV_Scope %s\n{\n", prototype.c_str());
            kavtokfprintf(out, "    %sGetData(kavSelf)->%s = %s%s;\n}\n", cls->name, a->name, value,
                         setter->params ? setter->params->name : a->name);
        }
    }
}
