// Starting a pass in a unit test the way emit does before the class emitter runs.
#pragma once

#include "driver/state.h"
#include "support/text.h"

namespace testing_support {

// The pass set-up (its policy comment is dropped) and, for the metaclass pass, the host's
// presentation of the implicit metaclass.
inline void startEmitPass(Entry* cls, bool metaclass = false) {
    capture([&](FILE* out) { darurov::passSetUp(out, cls); });
    if (!metaclass) return;
    darurov::pass.instanceClassName = cls->name;
    kavtinitialiseMeta(cls, kavc::unitStab(), 1, 1);
}

}  // namespace testing_support
