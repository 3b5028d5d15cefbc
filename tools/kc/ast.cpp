#include "kc/ast.h"

namespace kc {

std::string ScopedName::text() const {
    std::string out = absolute ? "::" : "";
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "::" : "") + parts[i];
    return out;
}

std::string TypeSpec::text() const {
    switch (kind) {
        case Basic: return basic;
        case String: return bound ? basic + "<...>" : basic;
        case Sequence: return "sequence<" + (element ? element->text() : std::string()) + ">";
        case Named: return name.text();
        default: return "";
    }
}

}  // namespace kc
