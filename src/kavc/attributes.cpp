// Attribute accessor bodies the host writes into the header.
//
// An accessor is written only when the host can implement it soundly: the class has an
// instance data member of the attribute's name in the same pass (the attribute's storage),
// the accessor is not marked as implemented by the class ("noget" / "noset" on the
// attribute), and the type is not an array (which C cannot return or assign).
#include "kavc/store.h"

using namespace kavc::detail;

namespace {

Entry* storageOf(Entry* cls, Entry* attribute, bool meta) {
    for (Entry* d = cls->data; d; d = d->next)
        if (std::string(d->name) == attribute->name && hasMod(d, darurov::Option::metaclassMember) == meta && !hasMod(d, darurov::Option::staticdata))
            return d;
    return nullptr;
}

const char* prefixOf(Entry* accessor, const char* externalPrefix, const char* classPrefix) {
    const char* prefix = hasMod(accessor, darurov::Option::metaclassMember) ? classPrefix : externalPrefix;
    return prefix ? prefix : "";
}

}  // namespace

void kavtgenAttStubs(FILE* out, Entry* cls, const char* externalPrefix, const char* classPrefix) {
    if (!out || !cls || !cls->hostData) return;
    bool meta = kavtmeta != 0;
    for (Entry* a : info(cls).attributes) {
        EntryInfo& attr = info(a);
        TypeCode* real = resolveAlias(attr.declared);
        if (real && real->kind == kavtTkArray) continue;
        if (!storageOf(cls, a, meta)) continue;
        std::string prototype;
        Entry* getter = attr.getter;
        if (getter && hasMod(getter, darurov::Option::metaclassMember) == meta && !hasMod(a, darurov::Option::noget)) {
            kavtprefixedPrototype(prototype, getter, ", ", 0, prefixOf(getter, externalPrefix, classPrefix));
            std::fprintf(out, "\n/* Accessor of attribute %s */\n", a->name);
            std::fprintf(out, "KAV_Scope %s\n{\n", prototype.c_str());
            std::fprintf(out, "    return %sGetData(kavSelf)->%s;\n}\n", cls->name, a->name);
        }
        Entry* setter = attr.setter;
        if (setter && hasMod(setter, darurov::Option::metaclassMember) == meta && !hasMod(a, darurov::Option::noset)) {
            kavtprefixedPrototype(prototype, setter, ", ", 0, prefixOf(setter, externalPrefix, classPrefix));
            const char* value = passedByReference(attr.declared) ? "*" : "";
            std::fprintf(out, "\n/* Accessor of attribute %s */\n", a->name);
            std::fprintf(out, "KAV_Scope %s\n{\n", prototype.c_str());
            std::fprintf(out, "    %sGetData(kavSelf)->%s = %s%s;\n}\n", cls->name, a->name, value,
                         setter->params ? setter->params->name : a->name);
        }
    }
}
