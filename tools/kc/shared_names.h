// Names that two classes of one header would both declare.
#pragma once

#include "kc/diagnostics.h"
#include "kc/lower.h"
#include "host/kavc.h"

#include <vector>

namespace kc {

// Warns about names the header would use that do not compile as written:
// - every function name that two classes written into the same header would both declare: the
//   header then compiles for one class's own source at a time, but not in a source that
//   implements them together (the module source);
// - a data member and a method whose access macros (`_<name>`, VARIABLE_MACROS and
//   METHOD_MACROS) share a name;
// - a method migrated ("m: migrate = Target;") to a class of the unit that does not have that
//   method, or to no class of the unit: the header names <Target>ClassData.<m>.
// `toEmit`: the classes and modules that kc hands to the emitter, in order; each warning points
// at the declaration of the class (or method) it concerns, found in `places`.
void warnSharedFunctionNames(const std::vector<Entry*>& toEmit, const DeclarationPlaces& places, Diagnostics& diag);

}  // namespace kc
