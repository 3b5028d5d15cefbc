// The apply-stub section: one stub per new method that lets the runtime call the method
// with its arguments packed in a va_list.
#include "driver/sections.h"
#include "driver/state.h"
#include "driver/text.h"
#include "stubs/stubs.h"

#include <cstring>
#include <string>

namespace darurov {

namespace {

// A method that reuses a stub defined elsewhere (or earlier) says so instead of a stub.
void writeUsingComment(FILE* out, const char* stubName, Entry* method) {
    kavtokfprintf(out, "/* Using \"%s\" apply stub for method \"%s\" */\n\n", stubName,
                  method->name);
}

void addStubRecord(Stab* registry, const char* stubName, unsigned char definedHere) {
    StubRecord record{kavtstringFmt("%s", stubName), definedHere};
    kavtaddEntry(registry, stubName, &record);
}

// Handles one method of the section; the registry only tracks stubs named through
// "apply" or "generateapply".
void emitSectionEntry(FILE* out, Entry* cls, Entry* method, Stab* registry,
                      std::string& buffer) {
    const std::string stubName = applyStubName(method);
    const char* s = stubName.c_str();
    if (hasMod(method, Option::apply)) {
        writeUsingComment(out, s, method);
        if (!kavtgetEntry(registry, s)) addStubRecord(registry, s, 0);
        return;
    }
    if (!hasMod(method, Option::generateapply)) {
        emitApplyStub(out, cls, method, buffer, s);
        return;
    }
    auto* record = static_cast<StubRecord*>(kavtgetEntry(registry, s));
    if (!record) {
        addStubRecord(registry, s, 1);
    } else if (record->definedHere) {
        kavtmriwarn(cls->file, method->lineno, 23, s);
        writeUsingComment(out, s, method);
        return;
    } else {
        record->definedHere = 1;
    }
    emitApplyStub(out, cls, method, buffer, s);
}

void releaseRegistry(Stab* registry) {
    for (auto* record = static_cast<StubRecord*>(kavtstabFirst(registry, 0)); record;
         record = static_cast<StubRecord*>(kavtstabNext(registry, 0)))
        kavtsmfree(record->stubName, 0);
    kavtfreeStab(registry);
}

}  // namespace

void emitApplyStubs(FILE* out, Entry* cls) {
    // Stub names read "NULL" when the pass writes no apply stubs; there is nothing to define.
    if (pass.noApplyStubs) return;

    Stab registry{};
    kavtcreateStab(&registry, 167, sizeof(StubRecord));
    std::string buffer;
    bool bannerWritten = false;
    auto handle = [&](const PassMethod& facts) {
        // Procedures are called directly, never through a stub.
        if (!facts.isPassNewMethod() || facts.is(procedureFact)) return;
        Entry* method = facts.method;
        if (!bannerWritten) {
            kavtfullComment(out, "-- Apply Stubs for New Methods");
            bannerWritten = true;
        }
        emitSectionEntry(out, cls, method, &registry, buffer);
    };
    for (const PassMethod& m : passMethods(cls)) handle(m);
    for (int i = 0; i < pass.reintroducedMethods.count; ++i)
        handle(methodFacts(pass.reintroducedMethods.methods[i]));

    emitStubExternals(out, &registry);
    releaseRegistry(&registry);
}

void emitApplyStub(FILE* out, Entry* cls, Entry* method, std::string& buffer,
                   const char* stubName) {
    const bool generated = hasMod(method, Option::generateapply);
    const bool returnsNothing = kavtisvoid(method->returnType, method->returnTypeText);
    const char* c = cls->name;

    if (generated) kavtokfprintf(out, "#define %sD 1\n", stubName);
    kavtokfprintf(out, "%s void KAVLINK %s(%s *kavSelf,\n", generated ? "KAVEXTERN" : "static",
                  stubName, c);
    kavtokfprintf(out, "\t\t%s *__retVal,\n", method->returnTypeText);
    kavtokfprintf(out, "\t\tkavMethodProc *__methodPtr,\n");
    kavtokfprintf(out, "\t\tva_list __ap)\n");
    kavtokfprintf(out, "{\n");
    kavtokfprintf(out, "\tkavSelf = va_arg(__ap, %s*);\n", c);
    kavtdeclareIdlVarargs(out, method);
    if (method->argCount == 0) kavtokfprintf(out, "\tKAV_IgnoreWarning(__ap);\n");
    if (returnsNothing) kavtokfprintf(out, "\tKAV_IgnoreWarning(__retVal);\n");

    applyCallArgList(method, buffer);
    const char* implicitArgs = kavtimplicitArgs(method);
    const char* separator = method->argCount != 0 ? ", " : "";
    if (returnsNothing)
        kavtokfprintf(out, "\n\t((kavTD_%s_%s) __methodPtr) (kavSelf%s%s%s);\n", c,
                      method->name, implicitArgs, separator, buffer.c_str());
    else
        kavtokfprintf(out, "\n\t*__retVal = ((kavTD_%s_%s) __methodPtr) (kavSelf%s%s%s);\n", c,
                      method->name, implicitArgs, separator, buffer.c_str());
    kavtokfprintf(out, "}\n\n");
}

const char* applyCallArgList(Entry* method, std::string& buffer) {
    kavtshortArgList(buffer, method, ",", 0, 0);
    std::string cast;
    for (int i = 0; i < method->argCount; ++i) {
        Entry* param = kavtnthArg(method, i);
        if (!param || !param->declarator || !std::strchr(param->declarator, '[')) continue;
        // A name the host's texts do not show is left as written rather than cast blindly.
        const int position = kavtfindMethodName(buffer.c_str(), param->name);
        if (position < 0 || !arrayArgCast(param, cast)) continue;
        const std::string before = buffer.substr(0, position);
        const std::string after = buffer.substr(position + std::strlen(param->name));
        buffer = formatText("%s(%s)%s%s", before.c_str(), cast.c_str(), param->name,
                   after.c_str());
    }
    return buffer.c_str();
}

const char* arrayArgCast(Entry* param, std::string& buffer) {
    buffer = param->declarator;
    const int found = kavtfindMethodName(buffer.c_str(), param->name);
    if (found < 0) return nullptr;
    const std::size_t q = found;

    // Blank the first dimension, name the pointer, and keep any further dimensions.
    const std::size_t open = buffer.find('[', q);
    if (open != std::string::npos) {
        const std::size_t close = buffer.find(']', open);
        const std::size_t end = close == std::string::npos ? buffer.size() : close + 1;
        for (std::size_t i = open; i < end; ++i) buffer[i] = ' ';
    }
    if (buffer.size() < q + 3) buffer.resize(q + 3, ' ');
    buffer.replace(q, 3, "(*)");
    for (std::size_t i = q + 3; i < buffer.size() && buffer[i] != '['; ++i) buffer[i] = ' ';
    return buffer.c_str();
}

}  // namespace darurov
