// Type codes: building them, their C spellings, and kind, size and alignment on the
// 32-bit target the generated headers are compiled for.
#include "kavc/base_types.h"
#include "kavc/store.h"

#include <algorithm>

using namespace kavc::detail;

namespace {

struct Layout {
    int size;
    int align;
};

unsigned long roundUp(unsigned long n, unsigned long align) {
    return align > 1 ? (n + align - 1) / align * align : n;
}

Layout layoutOf(TypeCode* tc);

Layout structLayout(const std::vector<std::pair<std::string, TypeCode*>>& members) {
    unsigned long offset = 0, align = 1;
    for (const auto& member : members) {
        Layout m = layoutOf(member.second);
        offset = roundUp(offset, m.align) + m.size;
        align = std::max<unsigned long>(align, m.align);
    }
    return {static_cast<int>(roundUp(offset, align)), static_cast<int>(align)};
}

Layout layoutOf(TypeCode* tc) {
    tc = resolveAlias(tc);
    if (!tc) return {0, 1};
    switch (tc->kind) {
        case kavtTkEnum:
        case kavtTkPointer:
        case kavtTkNative: return {4, 4};
        case kavtTkFixed: return {static_cast<int>(roundUp(4 + (tc->bound + 2) / 2, 2)), 2};
        case kavtTkSequence: return {12, 4};  // {maximum, length, buffer}
        case kavtTkArray: {
            Layout element = layoutOf(tc->content);
            unsigned long count = 1;
            for (unsigned long d : tc->dims) count *= d;
            return {static_cast<int>(element.size * count), element.align};
        }
        case kavtTkStruct: return structLayout(tc->members);
        case kavtTkUnion: {
            Layout disc = layoutOf(tc->discriminator);
            unsigned long size = 0, align = 1;
            for (const auto& member : tc->members) {
                Layout m = layoutOf(member.second);
                size = std::max<unsigned long>(size, m.size);
                align = std::max<unsigned long>(align, m.align);
            }
            size = roundUp(size, align);
            unsigned long offset = roundUp(disc.size, align);
            unsigned long whole = std::max<unsigned long>(align, disc.align);
            return {static_cast<int>(roundUp(offset + size, whole)), static_cast<int>(whole)};
        }
        default:
            if (const kavc::BaseType* b = kavc::baseTypeOfKind(tc->kind)) return {b->size, b->align};
            return {0, 1};
    }
}

std::string underscored(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '*'), text.end());
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::replace(text.begin(), text.end(), ' ', '_');
    return text;
}

std::string dimsText(const std::vector<unsigned long>& dims, std::size_t from) {
    std::string text;
    for (std::size_t i = from; i < dims.size(); ++i) text.append("[").append(std::to_string(dims[i])).append("]");
    return text;
}

}  // namespace

namespace kavc::detail {

TypeCode* newType(int kind, std::string_view cName) {
    TypeCode& tc = model().types.emplace_back();
    tc.kind = kind;
    tc.cName = std::string(cName);
    return &tc;
}

char* internedCType(TypeCode* tc) {
    if (!tc) return internName("void");
    if (!tc->cText) tc->cText = internName(kavc::cTypeText(tc));
    return tc->cText;
}

TypeCode* resolveAlias(TypeCode* tc) {
    while (tc && tc->alias) tc = tc->content;
    return tc;
}

bool passedByReference(TypeCode* tc) {
    tc = resolveAlias(tc);
    if (!tc) return false;
    if (tc->kind == kavtTkStruct || tc->kind == kavtTkUnion || tc->kind == kavtTkSequence) return true;
    const kavc::BaseType* b = kavc::baseTypeOfKind(tc->kind);
    return b && b->passing == kavc::Passing::Reference;
}

std::string paramCType(TypeCode* declared, int mode) {
    TypeCode* real = resolveAlias(declared);
    if (real && real->kind == kavtTkArray) {
        // An array travels as a pointer to its element type.
        std::string element = kavc::cTypeText(real->content);
        if (real->dims.size() <= 1) return element + "*";
        return element + "(*)" + dimsText(real->dims, 1);
    }
    std::string text = kavc::cTypeText(declared);
    if (mode != kavtModeIn || passedByReference(declared)) text += "*";
    return text;
}

std::string defaultDeclarator(TypeCode* type, int mode, std::string_view name, bool isParam) {
    TypeCode* real = type;
    const bool isArray = real && !real->alias && real->kind == kavtTkArray;
    // Built in place: a parameter's declarator is made once per parameter of the unit.
    std::string text = kavc::cTypeText(isArray ? real->content : type);
    if (!isArray && isParam && (mode != kavtModeIn || passedByReference(type)) &&
        !(resolveAlias(type) && resolveAlias(type)->kind == kavtTkArray))
        text += '*';
    text += ' ';
    text += name;
    if (isArray) text += dimsText(real->dims, 0);
    return text;
}

}  // namespace kavc::detail

namespace kavc {

TypeCode* basicType(std::string_view idlName) {
    const BaseType* b = findBaseType(idlName);
    if (!b) return nullptr;
    TypeCode*& type = model().basics[b - baseTypes];
    if (!type) type = newType(b->kind, b->cType);
    return type;
}

TypeCode* stringType(unsigned long bound, bool wide) {
    const char* name = wide ? "wstring" : "string";
    if (bound == 0) return basicType(name);
    TypeCode* tc = newType(wide ? kavtTkWString : kavtTkString, name);
    tc->bound = bound;
    return tc;
}

TypeCode* fixedType(unsigned long digits, int scale) {
    TypeCode* tc = newType(kavtTkFixed, "fixed_" + std::to_string(digits) + "_" + std::to_string(scale));
    tc->bound = digits;
    tc->scale = scale;
    return tc;
}

TypeCode* nativeType(std::string_view cName) { return newType(kavtTkNative, cName); }

TypeCode* sequenceType(TypeCode* element, unsigned long bound) {
    TypeCode* tc = newType(kavtTkSequence, "_IDL_SEQUENCE_" + underscored(cTypeText(element)));
    tc->content = element;
    tc->bound = bound;
    return tc;
}

TypeCode* arrayType(TypeCode* element, const std::vector<unsigned long>& dims) {
    TypeCode* tc = newType(kavtTkArray, cTypeText(element));
    tc->content = element;
    tc->dims = dims;
    return tc;
}

TypeCode* structType(std::string_view cName,
                     const std::vector<std::pair<std::string, TypeCode*>>& members) {
    TypeCode* tc = newType(kavtTkStruct, cName);
    tc->members = members;
    return tc;
}

TypeCode* unionType(std::string_view cName, TypeCode* discriminator,
                    const std::vector<std::pair<std::string, TypeCode*>>& members) {
    TypeCode* tc = newType(kavtTkUnion, cName);
    tc->discriminator = discriminator;
    tc->members = members;
    return tc;
}

TypeCode* completeType(TypeCode* tc, TypeCode* discriminator,
                       const std::vector<std::pair<std::string, TypeCode*>>& members) {
    tc->discriminator = discriminator;
    tc->members = members;
    ++model().layoutRevision;
    return tc;
}

TypeCode* enumType(std::string_view cName, const std::vector<std::string>& enumerators) {
    TypeCode* tc = newType(kavtTkEnum, cName);
    tc->enumerators = enumerators;
    return tc;
}

TypeCode* objrefType(Entry* cls) {
    TypeCode* tc = newType(kavtTkObjref, cls && cls->name ? cls->name : "KAVObject");
    tc->cls = cls;
    return tc;
}

TypeCode* aliasType(std::string_view cName, TypeCode* original) {
    TypeCode* tc = newType(original ? original->kind : 0, cName);
    tc->alias = true;
    tc->content = original;
    return tc;
}

std::string cTypeText(TypeCode* tc) {
    if (!tc) return "void";
    if (tc->alias) return tc->cName;
    switch (tc->kind) {
        case kavtTkObjref: return tc->cName + "*";
        case kavtTkArray: return cTypeText(tc->content) + dimsText(tc->dims, 0);
        default: return tc->cName;
    }
}

}  // namespace kavc

// ---- host functions --------------------------------------------------------------------
int kavttcKind(TypeCode* tc, int /*flag*/) {
    tc = resolveAlias(tc);
    return tc ? tc->kind : 0;
}

namespace {

// layoutOf, kept in the type code: the emitter asks the size of each method's result and
// parameters, mostly of a few types, and a structure's layout walks all its members.
Layout keptLayout(TypeCode* tc) {
    if (!tc) return layoutOf(tc);
    const unsigned long settled = model().layoutRevision;
    if (tc->layoutsSettled != settled) {
        const Layout layout = layoutOf(tc);
        tc->layoutSize = layout.size;
        tc->layoutAlign = layout.align;
        tc->layoutsSettled = settled;
    }
    return {tc->layoutSize, tc->layoutAlign};
}

}  // namespace

int kavttcSize(TypeCode* tc, int /*flag*/) { return keptLayout(tc).size; }

short kavttcAlignment(TypeCode* tc, int /*flag*/) { return static_cast<short>(keptLayout(tc).align); }

int kavtreturnsStruct(Entry* method) {
    if (!method) return 0;
    TypeCode* result = resolveAlias(info(method).declared);
    return result && (result->kind == kavtTkStruct || result->kind == kavtTkUnion);
}

// Every Entry of the unit gets the type code of its declared type; each class gets the
// structure of its instance data (class-pass, non-static members). Each call does only what the
// unit's changes since the last one need: the emitter asks once per class.
void kavtcreateTypeCodes(Stab* /*stab*/) {
    Model& m = model();
    if (m.typedRevision == m.revision) return;
    // Entries are only ever added: each pool is typed from where the last call stopped.
    auto typeFrom = [](Pool<Entry>& pool, std::size_t& typed) {
        for (std::size_t i = typed; i < pool.size(); ++i) {
            Entry& e = pool[i];
            if (!e.hostData) continue;
            switch (e.type) {
                case kavtNewMethodType:
                case kavtOverrideType:
                case kavtDataType:
                case kavtParamType:
                case kavtAttributeType: e.typeCode = info(&e).declared; break;
                default: break;
            }
        }
        typed = pool.size();
    };
    typeFrom(m.entries, m.typedEntries);
    typeFrom(m.params, m.typedParams);
    // A modifier may have moved a member out of the instance data: the structures are made
    // again, in place.
    for (Entry* cls : m.classes) {
        std::vector<std::pair<std::string, TypeCode*>> members;
        for (Entry* d = cls->data; d; d = d->next)
            if (!hasMod(d, darurov::Option::metaclassMember) && !hasMod(d, darurov::Option::staticdata))
                members.emplace_back(d->name, info(d).declared);
        ClassInfo& ci = classInfo(cls);
        if (!ci.dataType) ci.dataType = kavc::structType(std::string(ci.presented ? ci.savedName : cls->name) + "Data", {});
        ci.dataType->members = std::move(members);
        cls->dataTypeCode = ci.dataType;
    }
    ++m.layoutRevision;
    m.typedRevision = m.revision;
}
