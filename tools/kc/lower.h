// From the syntax tree to the host model: names resolved, declarations checked, Entries built
// with the kavc builder.
#pragma once

#include "kc/ast.h"
#include "kavc/model.h"

#include <map>
#include <vector>

namespace kc {

// Where each declaration that became an Entry was written. The host reports the emitter's
// messages with a line only; this finds the declaration they concern.
struct DeclarationPlaces {
    std::multimap<int, std::pair<Entry*, Loc>> byLine;  // line -> (its class, the place)
    std::map<Entry*, Loc> entries;

    void add(Entry* cls, Entry* e, Loc at);
    // Where `e` was declared; file -1 when kc made no such Entry.
    Loc of(Entry* e) const;
    // The declaration at `line` of the class `cls` (else of any class), or the class itself
    // for line 0; file -1 when kc made nothing there.
    Loc find(Entry* cls, int line) const;
};

// Builds every module, class and member of `spec` into the host model (reset by the caller,
// with the file path and options already set) and finishes the classes, parents first.
// Returns the top-level classes and module blocks of the main file, in declaration order:
// what the emitter is called for. Errors are reported to `diag`; when there are any, the
// model is incomplete and nothing should be emitted.
std::vector<Entry*> lower(const Specification& spec, Diagnostics& diag, DeclarationPlaces* places = nullptr);

// "C.xih" and false for "C_xih", "C.xih" and true for "C_xih_after"; false when the name has
// no section part.
bool passthruSection(const std::string& name, std::string& section, bool& after);

}  // namespace kc
