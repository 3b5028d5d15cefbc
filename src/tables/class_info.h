// What the class-info run hands from its ids and lists to the static class info.
#pragma once

#include "driver/state.h"
#include "host/kavc.h"

namespace darurov {

struct ClassInfoCounts {
    int parentCount = 0;      // parent name strings written
    int directInitCount = 0;  // direct-init classes found among the ancestors
};

// Parents the runtime sees: the listed ones, else KAVObject as the default parent (the root
// class itself has none).
inline int effectiveParentCount(Entry* cls, const ClassInfoCounts& counts) {
    if (counts.parentCount != 0) return counts.parentCount;
    return isRootObjectClass(cls) ? 0 : 1;
}

// <Class>SCI, the last text of the class-info run.
void writeStaticClassInfo(FILE* out, Entry* cls, const char* externalPrefix,
                          const ClassInfoCounts& counts);

}  // namespace darurov
