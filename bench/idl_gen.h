// Synthetic IDL for the benchmarks: a shape of interfaces with a given number of operations.
#pragma once

#include <ostream>
#include <string>

namespace bench {

// wide:    interfaces of 100 operations in diamond groups of four (A; B : A; C : A; D : B, C);
// single:  one interface with every operation;
// deep:    chains of 20 interfaces of 50 operations, each overriding three of its parent's;
// chain:   one such chain of any length (every class's header lists all it inherits, so the
//          output grows with the square of the length);
// many:    one small interface (one operation) per operation;
// lattice: `count` layers of two interfaces, each inheriting both of the layer above;
// sections: an interface whose implementation section names every operation in its release
//          order and in a modifier (and has data members, named there too), and a child that
//          overrides every operation.
// Operations mix parameter modes and types (base types, a structure, a sequence, a string);
// interfaces carry attributes, data members, an initializer and overrides. The file compiles
// with kc, and with omniidl, which skips the implementation sections.
bool writeShape(std::ostream& out, const std::string& shape, long count);

}  // namespace bench
