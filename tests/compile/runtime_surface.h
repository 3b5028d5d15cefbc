// The runtime surface of a generated implementation header, for compile checks only.
//
// Declares just the runtime names that generated headers use: the kav/KAV types, macros and
// functions and the IDL base types, each with the shape its uses in a header need (the tables'
// row types have as many fields as a row has values). Nothing here is a runtime: no value, no
// behaviour, no layout a runtime would have to share. The names a class's own usage bindings
// (<stem>.xh) declare come from a second, per-IDL stand-in (tests/compile/README.md).
#ifndef KAV_RUNTIME_SURFACE_H
#define KAV_RUNTIME_SURFACE_H

#include <cstdarg>
#include <cstddef>
#include <cstring>

// Linkage and export words.
#define KAVLINK
#define KAVDLINK
#define KAVEXTERN
#define WIN32_DLLEXPORT
#define KAV_IgnoreWarning(x) ((void)(x))
#define KAVMethodDebug(c, m)

// IDL base types.
typedef long integer4;
typedef unsigned char boolean;
typedef unsigned char octet;
typedef char* string;
typedef unsigned short wchar;
typedef wchar* wstring;
typedef struct kavTypeCodeRecord* TypeCode;
typedef struct kavPrincipalRecord* Principal;
typedef struct {
    TypeCode _type;
    void* _value;
} any;
struct Environment;
struct Context;

// Method tokens, identifiers and procedures.
typedef void kavMethodProc(void);
typedef char** kavId;
typedef kavMethodProc* kavMToken;
typedef void* kavToken;
typedef void* kavDToken;
typedef struct kavMethodTabsRecord* kavMethodTabs;

// The root classes as method bodies reach them.
struct KAVObject {
    void kavDispatch(void** result, kavId method, ...);
};
struct KAVClass : virtual KAVObject {};

// Control records of initializers, destructors and assignment operators, and what the entry
// macros reach through them (the macros themselves only expand in method bodies).
struct kavInitCtrl;
struct kavDestructCtrl;
struct kavAssignCtrl;
struct kavInitInfo;
struct kavDestructInfo;
struct kavAssignInfo;
typedef struct kavParentMtabStruct* kavParentMtabStructPtr;

// Stub and call descriptions.
typedef long kavFloatMap[13];
typedef struct {
    long returnKind;
    long argumentSize;
    kavFloatMap* floatMap;
} kavMethodInfo;
typedef struct {
    kavMethodProc* redispatchStub;
    kavMethodProc* applyStub;
    kavMethodInfo* methodInfo;
} kavApRdInfo;

// Registration tables: one field per value of a row.
typedef struct {
    kavMToken* token;
    kavId* id;
    kavId* descriptor;
    kavMethodProc* method;
    kavMethodProc* redispatchStub;
    kavMethodProc* applyStub;
} kavStaticMethod_t;
typedef struct {
    long kind;  // then the fields of a static method row
    kavStaticMethod_t row;
} kavMethods_t;
typedef struct {
    kavId* id;
    kavMethodProc* method;
} kavOverrideMethod_t;
typedef struct {
    kavToken* find;
    kavToken* in;
} kavMigratedMethod_t;
typedef struct {
    kavDToken* token;
    char* address;
} kavNonInternalData_t;
typedef struct {
    kavMethodProc** token;
    kavMethodProc* procedure;
} kavProcMethods_t;
typedef struct {
    kavId* id;
    long parent;
    kavMToken* token;
} kavInheritedMethod_t;
typedef struct kavVarargsFuncsRecord kavVarargsFuncs_t;
typedef void kavTP_kavClassInitFunc(KAVClass* cls);
typedef struct kavClassDataRecord kavClassDataStructure;
typedef struct kavCClassDataRecord kavCClassDataStructure;

typedef struct {
    long layoutVersion, staticMethods, overrideMethods, nonInternalData, procMethods, varargsCount;
    long majorVersion, minorVersion;
    long instanceSize, maxMethods, parents;
    kavId className;
    kavId explicitMetaclass;
    long implicitMetaclass;
    kavId* parentIds;
    kavClassDataStructure* classData;
    kavCClassDataStructure* cclassData;
    kavStaticMethod_t* staticMethodTable;
    kavOverrideMethod_t* overrideMethodTable;
    char* templateObject;
    kavNonInternalData_t* nonInternalDataTable;
    kavProcMethods_t* procMethodTable;
    kavVarargsFuncs_t* varargsFuncs;
    kavTP_kavClassInitFunc* classInit;
    long alignment;
    long directInitClasses;
    kavId* directInitIds;
    long generalMethods;
    kavMethods_t* generalMethodTable;
    long publicDataOffset;
    long developmentLevel;
    long selectInherited;
    kavInheritedMethod_t* selectInheritedTable;
    long classDataEntries;
    void* classDataList;
    long migratedMethods;
    kavMigratedMethod_t* migratedMethodTable;
    long initializers;
    kavId* initializerIds;
    long ncx;
    void* dynamicInfo;
} kavStaticClassInfo;

// Runtime functions the generated text calls.
KAVClass* kavBuildClass(long parentMask, kavStaticClassInfo* info, integer4 major, integer4 minor);
kavMethodProc* kavParentNumResolve(kavMethodTabs parentMtab, int parent, kavMToken token);
void* KAV_DataResolve(KAVObject* object, kavDToken token);

#endif
