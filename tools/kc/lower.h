// From the syntax tree to the host model: names resolved, declarations checked, Entries built
// with the kavc builder.
#pragma once

#include "kc/ast.h"
#include "kavc/model.h"

#include <vector>

namespace kc {

// Builds every module, class and member of `spec` into the host model (reset by the caller,
// with the file path and options already set) and finishes the classes, parents first.
// Returns the top-level classes and module blocks of the main file, in declaration order:
// what the emitter is called for. Errors are reported to `diag`; when there are any, the
// model is incomplete and nothing should be emitted.
std::vector<Entry*> lower(const Specification& spec, Diagnostics& diag);

// "C.xih" and false for "C_xih", "C.xih" and true for "C_xih_after"; false when the name has
// no section part.
bool passthruSection(const std::string& name, std::string& section, bool& after);

}  // namespace kc
