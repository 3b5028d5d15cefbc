// Method and ancestor list helpers shared by the sections.
#pragma once

#include "host/kavc.h"

namespace darurov {

struct MethodNameIndex;

// A singly linked list of method Entries; cells come from the host allocator. The head cell
// of an InheritedMethodList also carries a name index, so adding to a long list stays cheap.
struct MethodCell {
    Entry* method;
    MethodCell* next;
    MethodNameIndex* index;  // head cell only, else null; released with the list
};
using MethodList = MethodCell*;           // the head; empty is null
using InheritedMethodList = MethodCell*;  // at most one method per name

// The method-name queries of the lifecycle methods (initializers, destructor, assignment).
enum class LifecycleGroup { defaultInit, destructor, copyInit, assignment };
struct LifecycleMethod {
    const char* name;
    LifecycleGroup group;
};
inline constexpr LifecycleMethod lifecycleMethods[] = {
    {"kavDefaultInit", LifecycleGroup::defaultInit},
    {"kavDestruct", LifecycleGroup::destructor},
    {"kavDefaultCopyInit", LifecycleGroup::copyInit},
    {"kavDefaultConstCopyInit", LifecycleGroup::copyInit},
    {"kavDefaultVCopyInit", LifecycleGroup::copyInit},
    {"kavDefaultConstVCopyInit", LifecycleGroup::copyInit},
    {"kavDefaultAssign", LifecycleGroup::assignment},
    {"kavDefaultConstAssign", LifecycleGroup::assignment},
    {"kavDefaultVAssign", LifecycleGroup::assignment},
    {"kavDefaultConstVAssign", LifecycleGroup::assignment},
};
// The name is one of the lifecycle methods of the given group.
bool isLifecycleName(const char* name, LifecycleGroup group);
// One of the five default initializers (kavDefaultInit and the four copy initializers).
bool isDefaultInitializerName(const char* name);
// One of the four default assignment methods.
bool isAssignmentName(const char* name);

int parentNumber(Entry* cls, const char* parentName);
MethodCell* listAppend(MethodCell* tail, Entry* method, MethodList& head);
bool notInMethodList(Entry* method, MethodList head);
MethodList collectMethods(Entry* cls, MethodList head, MethodCell*& tail);
MethodList parentMethodsNotReintroduced(Entry* cls, Entry* parent);
InheritedMethodList addInheritedMethod(InheritedMethodList head, Entry* method);
int ancestorPathCount(Entry* ref, Entry* cls);
int isMethodOf(Entry* cls, Entry* method);
void deferParentResolution(Entry* cls, const char* introducer, Entry* method);
int isLifecycleMethod(Entry* method);
void releaseMethodList(MethodList& head);

// The deferred resolution stack: pushed by the override section, drained (most recent
// first) by the class-creation routine.
struct DeferredResolution {
    Entry* cls;
    char* introducer;  // host-allocated copy
    Entry* method;
    DeferredResolution* next;
};
extern DeferredResolution* deferredResolutions;
// Pops the most recent record (null when empty); the caller releases it with
// releaseDeferred after use.
DeferredResolution* popDeferred();
void releaseDeferred(DeferredResolution* record);

}  // namespace darurov
