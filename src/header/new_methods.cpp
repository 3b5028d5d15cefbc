// Per new method: its declaration, identifiers, descriptor, redispatch stub and trailing
// record (method information or the stubs record).
#include "driver/sections.h"
#include "driver/state.h"
#include "driver/text.h"
#include "header/header.h"

namespace darurov {

namespace {

enum class MethodKind { procedure, nameLookup, plain };

MethodKind methodKind(const PassMethod& m) {
    if (m.is(procedureFact)) return MethodKind::procedure;
    if (m.is(nameLookupFact)) return MethodKind::nameLookup;
    return MethodKind::plain;
}

// The explicit argument names as they close the redispatch call: ",a,b)" or ")". The texts
// keep their room from one method to the next.
const char* callArgumentText(Entry* method) {
    static std::string names, text;
    kavtshortArgList(names, method, ",", 0, 0);
    text.assign(names.empty() ? "" : ",").append(names).append(")");
    return text.c_str();
}

// The host gives every new method a descriptor; should one be missing (or bare), the
// method's qualified name keeps the identifier defined and the header compilable.
const char* descriptorText(std::string& dest, Entry* method) {
    const char* value = modValue(method->mods, Option::descriptor);
    if (!value || isBareValue(value)) {
        std::string fallback =
            (method->cls ? qualifiedName(method->cls) + "::" : std::string()) + method->name;
        return quotedText(dest, fallback.c_str());
    }
    return quotedText(dest, value);
}

void writeBanner(FILE* out, MethodKind kind, const char* name) {
    switch (kind) {
        case MethodKind::procedure:
            kavtfullComment(out, "New Direct call procedure: %s", name);
            break;
        case MethodKind::nameLookup:
            kavtfullComment(out, "New Name Lookup Method: %s", name);
            break;
        case MethodKind::plain:
            kavtfullComment(out, "New Method: %s", name);
            break;
    }
}

void writeMethodNameIdentifier(FILE* out, MethodKind kind, const char* n) {
    kavtokfprintf(out, "#ifndef kavMN_%s_defined\n", n);
    kavtokfprintf(out, "#define kavMN_%s_defined\n", n);
    if (kind == MethodKind::nameLookup) {
        kavtokfprintf(out, "#define kavId_%s kavLId_%s\n", n, n);
    } else {
        kavtokfprintf(out, "static char *kavMN_%s = \"%s\";\n", n, n);
        kavtokfprintf(out, "static kavId kavId_%s = &kavMN_%s;\n", n, n);
    }
    kavtokfprintf(out, "#endif  /* kavMN_%s_defined */\n", n);
}

void writeDescriptorIdentifier(FILE* out, Entry* method) {
    const char* n = method->name;
    std::string& descriptor = pass.descriptorText;
    kavtokfprintf(out, "#ifndef kavDS_%s_defined\n", n);
    kavtokfprintf(out, "#define kavDS_%s_defined\n", n);
    kavtokfprintf(out, "static char *kavDS_%s = %s;\n", n, descriptorText(descriptor, method));
    kavtokfprintf(out, "static kavId kavDI_%s = &kavDS_%s;\n", n, n);
    kavtokfprintf(out, "#endif  /* kavDS_%s_defined */\n", n);
}

void writeRedispatchStub(FILE* out, Entry* method) {
    const char* n = method->name;
    const char* callArguments = callArgumentText(method);
    kavtokfprintf(out, "static %s\n{\n", kavtprefixedPrototype(pass.prototypeText, method, ",\n\t\t", 0, prefixedName("kavRD_", "")));
    if (kavtisvoid(method->returnType, method->returnTypeText)) {
        kavtokfprintf(out, "\tvoid* __retVal;\n\n");
        kavtokfprintf(out, "\tkavSelf->kavDispatch((void **)&__retVal, kavId_%s, kavSelf %s\n", n, kavtimplicitArgs(method));
        kavtokfprintf(out, "\t\t%s;\n", callArguments);
    } else {
        kavtokfprintf(out, "\t%s __retVal;\n\n", method->returnTypeText);
        kavtokfprintf(out, "\tkavSelf->kavDispatch((void **)&__retVal, kavId_%s, kavSelf %s\n", n, kavtimplicitArgs(method));
        kavtokfprintf(out, "\t\t%s;\n", callArguments);
        kavtokfprintf(out, "\treturn __retVal;\n");
    }
    kavtokfprintf(out, "}\n");
}

void writeTrailingRecord(FILE* out, Entry* method) {
    if (hasTypeCodes()) {
        emitMethodInfo(out, method);
    } else if (!pass.noRedispatchStubs && kavtreturnsStruct(method)) {
        const char* n = method->name;
        // The record names the redispatch stub written above, whose prefix is the host class
        // prefix whatever "externalprefix" the class gives its functions.
        const char* stubPrefix = kavtclassPrefix ? kavtclassPrefix : "";
        const char* applyStub = applyStubName(method);
        kavtokfprintf(out, "\nstatic kavApRdInfo %sStubs = \n", n);
        kavtokfprintf(out, "{(kavMethodProc *)kavRD_%s%s,\n (kavMethodProc *)%s, 0};\n", stubPrefix, n, applyStub);
    }
}

void writeNewMethod(FILE* out, const PassMethod& facts) {
    Entry* method = facts.method;
    MethodKind kind = methodKind(facts);
    writeBanner(out, kind, method->name);

    std::string& buffer = pass.prototypeText;
    const char* prototype =
        kavtprefixedPrototype(buffer, method, ",\n\t\t", 0, passMethodPrefix());

    if (kind == MethodKind::procedure) {
        if (facts.is(noSelfFact)) prototype = kavtrmSelf(buffer);
        kavtokfprintf(out, "%s %s;\n", scopeMacro, prototype);
        return;
    }
    kavtokfprintf(out, "%s %s;\n", scopeMacro, prototype);

    writeMethodNameIdentifier(out, kind, method->name);
    if (!pass.noDescriptors) writeDescriptorIdentifier(out, method);
    if (!pass.noRedispatchStubs) writeRedispatchStub(out, method);
    writeTrailingRecord(out, method);
}

}  // namespace

void writeNewMethods(FILE* out, Entry* cls) {
    for (const PassMethod& m : passMethods(cls))
        if (m.isPassNewMethod()) writeNewMethod(out, m);
    for (int i = 0; i < pass.reintroducedMethods.count; ++i) {
        const PassMethod m = methodFacts(pass.reintroducedMethods.methods[i]);
        if (m.isPassNewMethod()) writeNewMethod(out, m);
    }
}

}  // namespace darurov
