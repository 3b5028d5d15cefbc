// Per overridden method: its declaration, the class-qualified identifier, the switch of the
// plain identifier, and the hand-over to the parent-call machinery.
#include "driver/sections.h"
#include "driver/state.h"
#include "driver/text.h"
#include "header/header.h"

#include <cstring>
#include <string_view>
#include <utility>

namespace darurov {

namespace {

// The methods inherited from the parents.
InheritedMethodList parentsMethods(Entry* cls) {
    InheritedMethodList inherited = nullptr;
    for (Entry* parent = cls->parents; parent; parent = parent->next) {
        // A parent reached along several paths is taken through the other paths only.
        if (ancestorPathCount(parent, cls) != 1) continue;
        MethodList methods = parentMethodsNotReintroduced(cls, parent->cls);
        if (!inherited) {
            // A collected list has one method per name already: the first one is taken whole.
            inherited = methods;
            continue;
        }
        for (MethodCell* cell = methods; cell; cell = cell->next)
            inherited = addInheritedMethod(inherited, cell->method);
        releaseMethodList(methods);
    }
    return inherited;
}

// The metaclass pass reads the same parents, ancestors and reintroduced methods as the class
// pass, and its list operations decide on the same terms. A list the class pass made without
// a message is what the metaclass pass would make again, the same, with nothing to say.
bool keepsInheritedMethods() {
    return pass.metaclassPassFollows && !inMetaclassPass() && pass.listMessages == 0;
}

InheritedMethodList buildInheritedMethods(Entry* cls) {
    InheritedMethodList inherited = std::exchange(pass.keptInherited, nullptr);
    if (!inherited) {
        inherited = parentsMethods(cls);
        pass.keepInherited = keepsInheritedMethods();
    }
    if (pass.instanceClassName)
        for (Entry* method = kavtkavcls->methods; method; method = method->next)
            inherited = addInheritedMethod(inherited, method);
    return inherited;
}

// The default assignment methods take and return the class itself, not the root class the
// host's prototype names; a prototype without the root class name is written unchanged.
void writeDeclaration(FILE* out, Entry* cls, Entry* method, const char* prototype) {
    static constexpr std::string_view rootClass = rootObjectClassName;
    std::string_view text = prototype;
    std::size_t at = text.find(rootClass);
    if (isAssignmentName(method->name) && at != std::string_view::npos) {
        std::string before(text.substr(0, at));
        std::string after(text.substr(at + rootClass.size()));
        kavtokfprintf(out, "%s %s%s%s;\n", scopeMacro, before.c_str(), cls->name, after.c_str());
    } else {
        kavtokfprintf(out, "%s %s;\n", scopeMacro, prototype);
    }
}

void writeOverride(FILE* out, Entry* cls, Entry* override, Entry* inherited) {
    const char* c = cls->name;
    const char* n = inherited->name;
    const char* introducer = inherited->cls->name;
    // The texts keep their room from one override to the next.
    static std::string qualifiedBuffer, argumentBuffer;
    const char* qualifiedIntroducer = pass.zdlClass ? introducer : qualifiedNameText(inherited->cls, qualifiedBuffer);
    bool nameLookup = hasMod(inherited, Option::namelookup);
    const char* prototype =
        kavtprefixedPrototype(pass.prototypeText, override, ",\n\t\t", 0, passMethodPrefix());
    const char* arguments = kavtshortArgList(argumentBuffer, override, ",", 0, 1);

    if (nameLookup)
        kavtfullComment(out, "Overridden name lookup method: %s", n);
    else
        kavtfullComment(out, "Overridden method: %s", n);

    writeDeclaration(out, cls, override, prototype);

    if (nameLookup) {
        kavtokfprintf(out, "#define kavId_%s%s kavLId_%s\n", c, n, n);
    } else {
        kavtokfprintf(out, "static char *kavMN_%s%s = \"%s::%s\";\n", c, n, qualifiedIntroducer, n);
        kavtokfprintf(out, "static kavId kavId_%s%s = &kavMN_%s%s;\n", c, n, c, n);
    }

    kavtokfprintf(out, "#ifdef kavId_%s\n", n);
    kavtokfprintf(out, "#undef kavId_%s\n", n);
    kavtokfprintf(out, "#else\n");
    kavtokfprintf(out, "#define kavId_%s kavId_%s%s\n", n, c, n);
    kavtokfprintf(out, "#endif\n");

    // Lifecycle methods chain to their ancestors through their own macros instead.
    if (!hasMod(override, Option::select) && !isLifecycleMethod(override)) {
        deferParentResolution(cls, introducer, override);
        emitParentCallMacros(out, cls, override, arguments);
    }
}

}  // namespace

void finishInheritedMethods(InheritedMethodList& inherited) {
    if (!pass.keepInherited) return releaseMethodList(inherited);
    pass.keptInherited = std::exchange(inherited, nullptr);
    pass.keptReintroduced = std::move(pass.heldReintroduced);
    pass.heldReintroduced.clear();
}

InheritedMethodList writeOverriddenMethods(FILE* out, Entry* cls) {
    InheritedMethodList inherited = buildInheritedMethods(cls);
    for (const PassMethod& m : passMethods(cls)) {
        if (!m.isPassOverride()) continue;
        Entry* override = m.method;
        Entry* method = findInheritedMethod(inherited, override->name);
        if (!method) {
            // The host only makes overrides of inherited methods; one without is the
            // host's fault, reported with the message for a method no parent has.
            kavtmriinternal(cls->file, override->lineno, 25, cls->name, override->name);
            continue;
        }
        if (!isStaticMethod(method)) {
            kavtmrierror(cls->file, override->lineno, 26, method->name);
            continue;
        }
        writeOverride(out, cls, override, method);
    }
    return inherited;
}

}  // namespace darurov
