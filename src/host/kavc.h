// The host compiler interface: the records the host builds and the services it offers.
//
// This is the one header the emitter includes from the host. Everything here is owned by
// the host library (libkavc); the emitter reads Entries, calls these functions and writes
// text through them. Functions are plain C++ (only the emitter's `emit` has C linkage).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// KAVT_API marks what the host library exports; KAVT_EMIT_API and KAVT_CDECL the emitter's one
// export, `emit`: C linkage, the C calling convention (the caller removes the arguments).
#ifdef _WIN32
// Data of a DLL is reached through its import table: the variables need dllimport too.
#ifdef kavc_EXPORTS
#define KAVT_API __declspec(dllexport)
#else
#define KAVT_API __declspec(dllimport)
#endif
#define KAVT_EMIT_API extern "C" __declspec(dllexport)
#define KAVT_CDECL __cdecl
#define KAVT_PRINTF(fmt, first) __attribute__((format(__MINGW_PRINTF_FORMAT, fmt, first)))
#else
#define KAVT_API __attribute__((visibility("default")))
#define KAVT_EMIT_API extern "C" __attribute__((visibility("default")))
#define KAVT_CDECL
#define KAVT_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
#endif

// Entry types.
enum : int {
    kavtClassType = 10,
    kavtModuleType = 26,
    kavtNewMethodType = 28,
    kavtOverrideType = 31,
    kavtDataType = 40,       // data member
    kavtParamType = 41,      // method parameter
    kavtParentRefType = 42,  // parent reference
    kavtAttributeType = 43,  // attribute declaration (accessors are methods)
};

// Type-code kinds, in CORBA TCKind order counted from 1.
enum : int {
    kavtTkNull = 1, kavtTkVoid, kavtTkShort, kavtTkLong, kavtTkUShort, kavtTkULong,
    kavtTkFloat, kavtTkDouble, kavtTkBoolean, kavtTkChar, kavtTkOctet, kavtTkAny,
    kavtTkTypeCode, kavtTkPrincipal, kavtTkObjref, kavtTkStruct, kavtTkUnion, kavtTkEnum,
    kavtTkString, kavtTkSequence, kavtTkArray, kavtTkPointer, kavtTkForeign,
    // the later CORBA base types, then an opaque `native` type
    kavtTkLongLong, kavtTkULongLong, kavtTkLongDouble, kavtTkWChar, kavtTkWString, kavtTkFixed,
    kavtTkNative,
};

// Parameter modes.
enum : int { kavtModeIn = 1, kavtModeOut = 2, kavtModeInout = 3 };

struct TypeCode;  // host type description; inspect with kavttc* only

// One modifier: `name` or `name = value`. A modifier written without a value reads as
// the text "\x01" (first character code 1).
struct Mod {
    char* name;
    char* value;
    Mod* next;
};

// A singly linked list of names (release-order data lists).
struct NameList {
    char* name;
    NameList* next;
};

struct Entry;

// One item of a class's release order. The first item also carries the three data-name
// lists: members marked "public", members marked "private", then the other members.
struct ReleaseItem {
    char* name;    // may be null
    Entry* entry;  // the method or data member of that name, or null
    ReleaseItem* next;
    NameList* dataLists[3];
};

// A reference to a method Entry (inheritedMethods).
struct MethodRef {
    Entry* method;
    MethodRef* next;
};

// The host's record of one declared item. Which fields are meaningful depends on `type`: the
// fields of a class (and module) and those of a method, parameter or data member share their
// storage, so each group is read only on entries of its own kinds.
struct Entry {
    // every entry
    char* name;
    char** scopedName;  // null-terminated parts, e.g. {"", "Zoo", "Animal", nullptr}
    Mod* mods;
    Entry* next;  // next entry of the chain this entry stands in
    // host-private: anything the host model keeps per entry
    void* hostData;
    int type;
    int lineno;

    // An anonymous struct in a union is a GNU extension (MSVC has it too); `__extension__`
    // keeps -pedantic builds that include this header quiet.
    __extension__ union {
        // class and module
        struct {
            char* file;
            Entry* metaclass;  // explicit metaclass or null
            Entry* parents;    // chain of parent references (type kavtParentRefType)
            ReleaseItem* releaseOrder;
            Entry* data;     // chain of data members
            Entry* methods;  // chain of methods (new methods and overrides)
            MethodRef* inheritedMethods;
            TypeCode* dataTypeCode;
            Entry* companionClass;
            // module: its contents (classes and modules) in declaration order
            Entry* members;
        };
        // method, parameter, data member, parent reference, attribute
        struct {
            // parent reference: the parent class; method, data member, attribute: the
            // introducing class
            Entry* cls;
            // method: its result; parameter, data member, attribute: its type (after
            // kavtcreateTypeCodes)
            TypeCode* typeCode;
            // method
            char* returnType;      // base type name of the result ("void", "long", ...)
            char* returnTypeText;  // C text of the result type
            Entry* params;         // chain of parameters
            Entry* origin;         // overridden or reintroduced method, or null
            // data member and parameter
            char* declarator;  // C declaration text, e.g. "long a[10]"
            short argCount;    // method: explicit parameters
            int mode;          // parameter
        };
    };
};

// The host's string-keyed table. Records are copied in; iteration is in insertion order.
struct Stab {
    void* impl;
    int recordSize;
};

// Result of kavtGetReintroducedMethods: a host-made array of host-made Entry copies.
// The emitter releases every element and then the array with kavtsmfree.
struct ReintroducedMethods {
    int count;
    Entry** methods;
};

// A sequence of strings (kavttcSeqFromListString). The array and its strings are one
// block: releasing `buffer` with kavtsmfree releases everything.
struct StringSeq {
    unsigned long maximum;
    unsigned long length;
    char** buffer;
};

// ---- host variables --------------------------------------------------------------------
KAVT_API extern int kavtCPP;
KAVT_API extern int kavtmeta;
KAVT_API extern const char* kavtclassPrefix;  // may be null
KAVT_API extern const char* kavtfilePath;
KAVT_API extern const char* kavtfileStem;
KAVT_API extern Entry* kavtkavcls;
KAVT_API extern int kavtg_f[64];  // word 40, bit value 2: no duplicate-introducer report
KAVT_API extern char* (*kavtgetAtt)(Mod* mods, const char* name, int flag);

// ---- files and passes ------------------------------------------------------------------
KAVT_API FILE* kavtopenEmitFile(const char* stem, const char* kind);
KAVT_API FILE* kavtemitModule(const char* stem, Entry* module, const char* kind);
KAVT_API int kavtimplicitMeta(Entry* cls);
KAVT_API void kavtinitialiseMeta(Entry* cls, Stab* stab, int pass, int implicitFlag);
KAVT_API void kavtuninitialiseMeta(Entry* cls);
KAVT_API void kavtcreateTypeCodes(Stab* stab);

// ---- modifiers and options -------------------------------------------------------------
KAVT_API char* kavtgetatt(Entry* entry, const char* name);
KAVT_API char* kavtgetgatt(const char* option);

// ---- output ----------------------------------------------------------------------------
KAVT_API void kavtokfprintf(FILE* out, const char* format, ...) KAVT_PRINTF(2, 3);
KAVT_API void kavtfullComment(FILE* out, const char* format, ...) KAVT_PRINTF(2, 3);
KAVT_API const char* kavtincludeOnce(Entry* cls, const char* suffix, std::string& buffer);
KAVT_API int kavtemitPassthru(FILE* out, Entry* cls, const char* section, int mode,
                              const char* position);
KAVT_API void kavtgenAttStubs(FILE* out, Entry* cls, const char* externalPrefix,
                              const char* classPrefix);

// ---- counts and lists ------------------------------------------------------------------
KAVT_API int kavtnewMethodsCount(Entry* cls, int meta, int flag);
KAVT_API int kavtprivateMethodsCount(Entry* cls, int meta);
KAVT_API ReintroducedMethods* kavtGetReintroducedMethods(ReintroducedMethods* result,
                                                         Entry* cls);

// ---- memory ----------------------------------------------------------------------------
KAVT_API void* kavtsmalloc(std::size_t size, int flag);
KAVT_API void kavtsmfree(void* block, int flag);
KAVT_API char* kavtstringFmt(const char* format, ...) KAVT_PRINTF(1, 2);

// ---- messages (the host owns the texts; arguments are texts) ---------------------------
KAVT_API void kavtmrierror(const char* file, int line, int number, ...);
KAVT_API void kavtmriwarn(const char* file, int line, int number, ...);
KAVT_API void kavtmriinternal(const char* file, int line, int number, ...);
KAVT_API void kavtmrifatal(const char* file, int line, int number, ...);
[[noreturn]] KAVT_API void kavtcleanFilesFatal(int status);

// ---- names -----------------------------------------------------------------------------
KAVT_API const char* kavtdbcslowercase(const char* text, std::string& buffer);
KAVT_API char* kavtclsname(Entry* cls);
KAVT_API const char* kavtsatos(char** parts, const char* separator, std::string& buffer);
KAVT_API char* kavtgetNonRepeatedParent(Entry* parentRef, int index);
KAVT_API Entry* kavtAncestorClass(Entry* cls, const char* name);

// ---- prototypes and argument lists -----------------------------------------------------
// flag 0: the explicit argument names; flag 1: the full call list, target object and
// implicit arguments first. Names are joined with exactly `separator`.
KAVT_API const char* kavtshortArgList(std::string& buffer, Entry* method, const char* separator,
                                      int unused, int flag);
KAVT_API const char* kavtprefixedPrototype(std::string& buffer, Entry* method,
                                           const char* separator, int unused,
                                           const char* prefix);
KAVT_API const char* kavtrmSelf(std::string& buffer);
KAVT_API const char* kavtfullTypedef(std::string& buffer, Entry* cls, Entry* method);
KAVT_API void kavtdeclareIdlVarargs(FILE* out, Entry* method);
KAVT_API int kavtisvoid(const char* returnType, const char* returnTypeText);
KAVT_API int kavtreturnsStruct(Entry* method);
KAVT_API const char* kavtimplicitArgs(Entry* method);
KAVT_API Entry* kavtnthArg(Entry* method, int index);
KAVT_API int kavtfindMethodName(const char* text, const char* name);

// ---- type codes ------------------------------------------------------------------------
KAVT_API int kavttcKind(TypeCode* tc, int flag);
KAVT_API int kavttcSize(TypeCode* tc, int flag);
KAVT_API short kavttcAlignment(TypeCode* tc, int flag);
KAVT_API StringSeq* kavttcSeqFromListString(StringSeq* result, const char* list);

// ---- symbol tables ---------------------------------------------------------------------
KAVT_API void kavtcreateStab(Stab* stab, int buckets, int recordSize);
KAVT_API void kavtfreeStab(Stab* stab);
KAVT_API void kavtaddEntry(Stab* stab, const char* key, const void* record);
KAVT_API void* kavtgetEntry(Stab* stab, const char* key);
KAVT_API void* kavtstabFirst(Stab* stab, int flag);
KAVT_API void* kavtstabNext(Stab* stab, int flag);
