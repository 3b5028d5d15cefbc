// Building a compilation unit in the host model: used by the `kc` front end and by tests.
//
// Everything made here (strings, Entries, type codes) is owned by the model and lives until
// kavc::reset(). The emitter never includes this header; it sees only src/host/kavc.h.
#pragma once

#include "host/kavc.h"

#include <string>
#include <string_view>
#include <vector>

namespace kavc {

using EmitFn = FILE* (*)(const char* fileStem, Entry* entry, Stab* stab);

// ---- the unit ----------------------------------------------------------------------------
// Forget every Entry, option, message count and open output (uncommitted output is
// discarded; the destination goes back to the current directory); rebuild the root classes
// KAVObject and KAVClass (kavtkavcls). Call before building a new unit. The emitter set by
// setEmitter and the throwOnFatal setting are kept.
void reset();
Stab* unitStab();                      // the unit's symbol table (handed to emit)
void setFilePath(std::string_view path);  // kavtfilePath; kavtfileStem = base name without extension
void setClassPrefix(const char* prefix);  // kavtclassPrefix (null allowed)
void setOption(std::string_view name, const char* value);  // global option; null value = bare
void setFlag(int word, int bits);                           // kavtg_f[word] |= bits
void setEmitter(EmitFn fn);  // what kavtemitModule calls for each class of a module

// ---- strings and modifiers -----------------------------------------------------------------
char* str(std::string_view text);  // a model-owned copy
// Add a modifier; a null value makes a bare modifier (reads as "\x01").
void addMod(Entry* e, std::string_view name, const char* value = nullptr);

// ---- types -------------------------------------------------------------------------------
// An IDL base type by its spelling in kavc/base_types.h ("unsigned long", "wchar", ...);
// null for any other name.
TypeCode* basicType(std::string_view idlName);
TypeCode* stringType(unsigned long bound = 0, bool wide = false);  // string<N>, wstring<N>
TypeCode* fixedType(unsigned long digits, int scale);              // fixed<digits, scale>
TypeCode* nativeType(std::string_view cName);  // an opaque type of the platform (IDL native)
TypeCode* sequenceType(TypeCode* element, unsigned long bound = 0);
TypeCode* arrayType(TypeCode* element, const std::vector<unsigned long>& dims);
TypeCode* structType(std::string_view cName,
                     const std::vector<std::pair<std::string, TypeCode*>>& members);
TypeCode* unionType(std::string_view cName, TypeCode* discriminator,
                    const std::vector<std::pair<std::string, TypeCode*>>& members);
// Gives a struct or union made without members its discriminator (union) and members; returns
// it. A type that contains itself through a sequence is made empty first, then completed.
TypeCode* completeType(TypeCode* tc, TypeCode* discriminator,
                       const std::vector<std::pair<std::string, TypeCode*>>& members);
TypeCode* enumType(std::string_view cName, const std::vector<std::string>& enumerators);
TypeCode* objrefType(Entry* cls);                       // a pointer to an object of that class
TypeCode* aliasType(std::string_view cName, TypeCode* original);  // typedef
std::string cTypeText(TypeCode* tc);                    // the C spelling of the type

// ---- classes and their members -----------------------------------------------------------
// A module or class. `scope` holds the enclosing module names, outermost first; the Entry's
// scopedName becomes {"", scope..., name}. `parent` (a module or null) receives the entry in
// its `members`; top-level entries are listed by topLevel().
Entry* newModule(std::string_view name, const std::vector<std::string>& scope, Entry* parent,
                 int line);
// A class's `name` is its C name: `cName` when given (Zoo_Animal for ::Zoo::Animal), else
// `name`; the scoped name keeps the IDL name.
Entry* newClass(std::string_view name, const std::vector<std::string>& scope, Entry* parent,
                int line, std::string_view cName = {});
const std::vector<Entry*>& topLevel();
Entry* findClass(std::string_view name);  // by C name or "::"-joined scoped name

Entry* addParent(Entry* cls, Entry* parentClass, int line);  // appends a parent reference

// A name in the host's name table: one pointer per distinct text, as every Entry's name is.
// A caller that asks about a name and then adds it hashes the text once this way.
struct Interned {
    const char* text;
    // The unit had no such name before: no class introduces a method of it yet (so a search
    // of inherited methods, made before anything is added under it, finds none).
    bool fresh = false;
};
Interned intern(std::string_view name);
// The name's text in the host's name table, or null when the unit has no such name.
const char* findName(std::string_view name);

// A new method (type 28) introduced by `cls`, returning `result`.
Entry* addMethod(Entry* cls, std::string_view name, TypeCode* result, int line);
Entry* addMethod(Entry* cls, Interned name, TypeCode* result, int line);
Entry* addParam(Entry* method, std::string_view name, TypeCode* type, int mode,
                std::string_view declarator = {});  // declarator defaults to the C text
void addContext(Entry* method);  // the method has a context(...) clause: implicit ctx argument
// An override (type 31) of the inherited method `overridden`; `cls` of the result is the
// introducing class of `overridden`, `origin` is `overridden`.
Entry* addOverride(Entry* cls, Entry* overridden, int line);
// Re-declare an ancestor's method: listed only by kavtGetReintroducedMethods.
Entry* addReintroduce(Entry* cls, Entry* ancestorMethod, int line);
Entry* addData(Entry* cls, std::string_view name, TypeCode* type, int line,
               std::string_view declarator = {});
Entry* addAttribute(Entry* cls, std::string_view name, TypeCode* type, bool readonly,
                    int line);  // adds the _get_/_set_ methods as well
void setReleaseOrder(Entry* cls, const std::vector<std::string>& names);
void setMetaclass(Entry* cls, Entry* metaclass);
void setCompanion(Entry* cls, Entry* companion);
void addPassthru(Entry* cls, std::string_view section, bool after, std::string_view text);
// Finds an inherited method by name in the ancestors of `cls` (first found, depth first).
Entry* findInheritedMethod(Entry* cls, std::string_view name);
Entry* findInheritedMethod(Entry* cls, Interned name);
Entry* findMethod(Entry* cls, std::string_view name);  // in cls's own methods chain
// The name a class's parent reference shows in the metaclass pass: its explicit metaclass,
// M_<Class> for an implicit one, else KAVClass.
std::string metaclassName(Entry* cls);
// The earlier parent reference of the same class that shows the same metaclass name as
// `parentRef`, or null: the metaclass pass lists each metaclass once, under its first parent.
Entry* earlierWithSameMetaclass(Entry* parentRef);
// Compute the derived fields: inheritedMethods, release-order entries and data lists,
// argCount, dataTypeCode. Call once per class after all its members are added (parents first).
void finishClass(Entry* cls);

// ---- output and messages -----------------------------------------------------------------
// Where kavtopenEmitFile writes: a real file DIR/<stem>.<kind> (written to a temporary name
// and put in place by commitOutput), or an in-memory buffer for tests. DIR "-": standard output.
void setOutputDir(std::string_view dir);
void captureOutput();          // kavtopenEmitFile opens an in-memory stream
const std::string& capturedText();  // everything written to the in-memory output so far
bool commitOutput();  // close, give mode 0666 & ~umask, rename; false on failure
std::string outputError();  // why the last commitOutput failed ("No space left on device")
void discardOutput();          // close and remove the temporary file
int errorCount();
int warningCount();
std::vector<std::string>& messages();  // every message as printed, for tests (none with a sink)
// Where the host's messages go instead of stderr: the front end presents them like its own.
// `kind` is "error", "warning", "internal error" or "fatal error"; `number` is 0 for a text
// of the host's own. `current` is the class being emitted (null outside a pass).
using MessageSink = void (*)(const char* file, int line, const char* kind, const std::string& text, int number,
                             Entry* current);
void setMessageSink(MessageSink sink);
// Tests: make the fatal path throw kavc::Fatal instead of ending the process.
struct Fatal {
    int status;
};
void throwOnFatal(bool on);

}  // namespace kavc
