// The sections of the initializer, destructor and assignment macros, and the direct-init
// class list they all index.
#pragma once

#include "host/kavc.h"

#include <vector>

namespace darurov {

// One entry per position of the direct-init class list; null where the name is no ancestor
// (the position still counts for the mask indexes).
struct DirectInitClasses {
    std::vector<Entry*> ancestors;
    int count() const { return static_cast<int>(ancestors.size()); }
};
DirectInitClasses directInitClasses(Entry* cls);

// The control record an ancestor macro steps through.
enum class ControlInfo { init, destruct, assign };
// The body of an ancestor macro for KAVObject: nothing to call, only the control record's
// info is stepped past the root class's.
void writeRootObjectStep(FILE* out, ControlInfo info);

// Nothing when the class implements no assignment method in this pass.
void writeAssignmentMacros(FILE* out, Entry* cls, const DirectInitClasses& classes);
void writeDestructorMacros(FILE* out, Entry* cls, const DirectInitClasses& classes);

void writeAncestorCopyInitMacros(FILE* out, Entry* cls, const DirectInitClasses& classes);
void writeAncestorConstCopyInitMacros(FILE* out, Entry* cls, const DirectInitClasses& classes);
void writeAncestorInitMacros(FILE* out, Entry* cls, const DirectInitClasses& classes,
                             bool defaultInit, bool destructor);

}  // namespace darurov
