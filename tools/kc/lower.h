// From the syntax tree to the host model: names resolved, declarations checked, Entries built
// with the kavc builder.
#pragma once

#include "kc/ast.h"
#include "kavc/model.h"

#include <cstdint>
#include <vector>

namespace kc {

// Where each declaration that became an Entry was written. The host reports the emitter's
// messages with a line only; this finds the declaration they concern.
// The places are kept in the order they were noted; the lookups, asked only when there is
// a message to place, sort an index of them the first time they are needed.
class DeclarationPlaces {
  public:
    void add(Entry* cls, Entry* e, Loc at);
    // Where `e` was first declared; file -1 when kc made no such Entry.
    Loc of(Entry* e) const;
    // The first declaration at `line` of the class `cls` (else of any class), or the class
    // itself for line 0; file -1 when kc made nothing there.
    Loc find(Entry* cls, int line) const;

  private:
    struct Place {
        Entry* cls;
        Entry* entry;
        Loc at;
    };
    std::vector<Place> places_;
    mutable std::vector<std::uint32_t> byEntry_, byLine_;  // indexes into places_, stable-sorted
};

// Builds every module, class and member of `spec` into the host model (reset by the caller,
// with the file path and options already set) and finishes the classes, parents first. The
// operations, attributes, state members and implementation sections of a class are freed from
// `spec` once the class is built: no later declaration reads them.
// Returns the top-level classes and module blocks of the main file, in declaration order:
// what the emitter is called for. Errors are reported to `diag`; when there are any, the
// model is incomplete and nothing should be emitted.
std::vector<Entry*> lower(Specification& spec, Diagnostics& diag, DeclarationPlaces* places = nullptr);

// "C.xih" and false for "C_xih", "C.xih" and true for "C_xih_after"; false when the name has
// no section part.
bool passthruSection(const std::string& name, std::string& section, bool& after);

}  // namespace kc
