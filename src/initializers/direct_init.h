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

bool isKavObject(Entry* ancestor);

// Nothing when the class implements no assignment method in this pass.
void writeAssignmentMacros(FILE* out, Entry* cls, const DirectInitClasses& classes);
void writeDestructorMacros(FILE* out, Entry* cls, const DirectInitClasses& classes);

void writeAncestorCopyInitMacros(FILE* out, Entry* cls, const DirectInitClasses& classes);
void writeAncestorConstCopyInitMacros(FILE* out, Entry* cls, const DirectInitClasses& classes);
void writeAncestorInitMacros(FILE* out, Entry* cls, const DirectInitClasses& classes,
                             bool defaultInit, bool destructor);

}  // namespace darurov
