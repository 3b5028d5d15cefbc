#include "kc/ast.h"

#include "kavc/base_types.h"

namespace kc {

std::string ScopedName::text() const {
    std::string out = absolute ? "::" : "";
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "::" : "") + parts[i];
    return out;
}

std::string_view TypeSpec::basic() const {
    return baseType ? kavc::baseTypes[baseType - 1].idl : std::string_view();
}

std::string TypeSpec::text() const {
    switch (kind) {
        case Basic: return std::string(basic());
        case String: return bound() ? std::string(basic()) + "<...>" : std::string(basic());
        case Sequence: return "sequence<" + (element() ? element()->text() : std::string()) + ">";
        case Named: return name.text();
        default: return "";
    }
}

const DeclDetail Decl::noDetail;

std::string_view declKeyword(std::string_view word) {
    static constexpr std::string_view words[] = {
        "interface", "valuetype", "eventtype", "component", "home",      "struct",  "union",
        "provides",  "uses",      "emits",     "publishes", "consumes", "factory", "finder",
    };
    for (std::string_view w : words)
        if (w == word) return w;
    return {};
}

}  // namespace kc
