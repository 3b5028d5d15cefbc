// Method and ancestor list helpers shared by the sections.
#pragma once

#include "driver/state.h"
#include "host/kavc.h"

#include <cstddef>
#include <cstdint>

namespace darurov {

struct MethodNameIndex;

// The number of records of a chain linked through `next` (Entries, method references, cells).
template <typename Record>
std::size_t chainLength(const Record* head) {
    std::size_t count = 0;
    for (; head; head = head->next) ++count;
    return count;
}

// A singly linked list of method Entries; cells come from the host allocator in blocks and
// are reused after releaseMethodList. The head cell
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
// 1 + the name's row in lifecycleMethods; 0 for any other name (a PassMethod's lifecycle).
std::uint8_t lifecycleRow(const char* name);
// The lifecycle method a pass method is named after, or null.
inline const LifecycleMethod* lifecycleOf(const PassMethod& m) {
    return m.lifecycle ? &lifecycleMethods[m.lifecycle - 1] : nullptr;
}
inline bool isLifecycleGroup(const PassMethod& m, LifecycleGroup group) {
    const LifecycleMethod* row = lifecycleOf(m);
    return row && row->group == group;
}
// isDefaultInitializerName of a pass method's name.
inline bool isDefaultInitializer(const PassMethod& m) {
    return isLifecycleGroup(m, LifecycleGroup::defaultInit) || isLifecycleGroup(m, LifecycleGroup::copyInit);
}
// One of the four default assignment methods.
bool isAssignmentName(const char* name);
// One of the ten lifecycle names, or any method with the "init" modifier.
bool isLifecycleMethod(Entry* method);

// 1-based position of the parent named `parentName` (the first of twins) among the class's
// parents; 0 when no parent has that name.
int parentNumber(Entry* cls, const char* parentName);
// The number of inheritance paths from `cls` to ancestors named like `ref` (a parent
// reference): 1 for a direct parent that no other parent inherits from.
int ancestorPathCount(Entry* ref, Entry* cls);
// The class's methods chain holds the method itself or one of the same name.
bool isMethodOf(Entry* cls, Entry* method);

// Appends a cell for `method` after `tail` (the first cell becomes `head`); returns the cell,
// the new tail.
MethodCell* listAppend(MethodCell* tail, Entry* method, MethodList& head);
// Appends the methods of `cls`, its reintroduced methods and, depth first, its ancestors'
// ones, each Entry and each name string once; returns the head, `tail` follows the end.
MethodList collectMethods(Entry* cls, MethodList head, MethodCell*& tail);
// A new list of every method of `parent` and its ancestors that `cls` does not reintroduce.
// Reports error 35 for a reintroduced method that is neither non-static nor a procedure.
// The caller releases the list.
MethodList parentMethodsNotReintroduced(Entry* cls, Entry* parent);
// Adds `method` unless the list has a method of that name already; when that one comes from
// another introducing class, reports error 35 (unless reportsDuplicateIntroducers() is
// false). Returns the head (a new one for an empty list).
InheritedMethodList addInheritedMethod(InheritedMethodList head, Entry* method);
// The method of that name in the list (names compared character by character), or null.
Entry* findInheritedMethod(InheritedMethodList inherited, const char* name);
// The first entry whose `name` is the very string `name`: among the references of the class's
// inheritedMethods, or in its methods chain; null when none. A list searched more than a few
// times in a pass is indexed.
Entry* inheritedMethodNamed(Entry* cls, const char* name);
Entry* chainMethodNamed(Entry* cls, const char* name);
// Releases every cell (and the name index); the Entries stay the host's. Empties `head`.
void releaseMethodList(MethodList& head);

// The deferred resolution stack (pass.deferred): pushed by the override section, drained,
// most recent first, by the class-creation routine.
struct DeferredResolution {
    Entry* cls;
    char* introducer;  // host-allocated copy
    Entry* method;
    DeferredResolution* next;
};
// Pushes a record for an overridden method whose parent resolution is written later.
void deferParentResolution(Entry* cls, const char* introducer, Entry* method);
// Pops the most recent record (null when empty); the caller releases it with
// releaseDeferred after use.
DeferredResolution* popDeferred();
void releaseDeferred(DeferredResolution* record);

}  // namespace darurov
