// C prototypes, typedefs and argument lists of methods.
#include "kavc/store.h"

#include <cstring>

using namespace kavc::detail;

namespace {

// A method with a context clause: an implicit `ctx` argument after `ev`.
bool hasContext(Entry* method) {
    return method && method->hostData &&
           (method->type == kavtNewMethodType || method->type == kavtOverrideType) && methodInfo(method).context;
}

// The "csc" option, as kavtgetgatt would find it: asked for every prototype and argument list.
bool zdlCallStyle() { return model().zdlCallStyle; }

// The implicit parameters after the target object: names and declarations.
struct ImplicitParams {
    int count = 0;
    std::pair<const char*, const char*> params[2];
    const auto* begin() const { return params; }
    const auto* end() const { return params + count; }
};

ImplicitParams implicitParams(Entry* method) {
    ImplicitParams result;
    if (zdlCallStyle()) return result;
    result.params[result.count++] = {"ev", "Environment *ev"};
    if (hasContext(method)) result.params[result.count++] = {"ctx", "Context *ctx"};
    return result;
}

// Empties a caller's buffer for a prototype or an argument list, with room for a typical one:
// a fresh buffer grows once, not at every doubling of the text.
void startText(std::string& buffer) {
    constexpr std::size_t typical = 256;
    buffer.clear();
    if (buffer.capacity() < typical) buffer.reserve(typical);
}

// Appends `item`, after `separator` unless it is the first of the list.
void appendItem(std::string& list, bool& first, const char* separator, const char* item) {
    if (!first && separator) list += separator;
    first = false;
    list += item;
}

// The parameter list of a prototype: `self`, the implicit parameters, the declarators.
void appendParams(std::string& buffer, Entry* method, const char* separator, const char* selfType) {
    buffer += selfType;
    buffer += " *kavSelf";
    bool first = false;
    for (const auto& param : implicitParams(method)) appendItem(buffer, first, separator, param.second);
    for (Entry* p = method->params; p; p = p->next) appendItem(buffer, first, separator, p->declarator ? p->declarator : "");
}

const char* nameOf(Entry* e) { return e && e->name ? e->name : ""; }

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    while (!text.empty() && text.front() == ' ') text.erase(text.begin());
    return text;
}

// A value passed through "..." arrives promoted: float as double, the types narrower than int
// as int. Reading it as its own type is undefined (and g++ makes such a read abort).
const char* promotedType(TypeCode* real) {
    if (!real) return nullptr;
    switch (real->kind) {
        case kavtTkFloat: return "double";
        case kavtTkShort:
        case kavtTkUShort:
        case kavtTkBoolean:
        case kavtTkChar:
        case kavtTkWChar:
        case kavtTkOctet: return "int";
        default: return nullptr;
    }
}

}  // namespace

const char* kavtimplicitArgs(Entry* method) {
    if (zdlCallStyle()) return "";
    return hasContext(method) ? ",ev,ctx" : ",ev";
}

const char* kavtshortArgList(std::string& buffer, Entry* method, const char* separator,
                             int /*unused*/, int flag) {
    startText(buffer);
    bool first = true;
    if (flag) {
        appendItem(buffer, first, separator, "kavSelf");
        for (const auto& param : implicitParams(method)) appendItem(buffer, first, separator, param.first);
    }
    for (Entry* p = method ? method->params : nullptr; p; p = p->next) appendItem(buffer, first, separator, nameOf(p));
    return buffer.c_str();
}

const char* kavtprefixedPrototype(std::string& buffer, Entry* method, const char* separator,
                                  int /*unused*/, const char* prefix) {
    if (!method) return buffer.c_str();
    startText(buffer);
    buffer += method->returnTypeText ? method->returnTypeText : "void";
    buffer += " KAVLINK ";
    buffer += prefix ? prefix : "";
    buffer += nameOf(method);
    buffer += '(';
    appendParams(buffer, method, separator, nameOf(selfClass(method)));
    buffer += ')';
    return buffer.c_str();
}

const char* kavtrmSelf(std::string& buffer) {
    std::size_t open = buffer.find('(');
    std::size_t self = buffer.find("kavSelf", open == std::string::npos ? 0 : open);
    if (open == std::string::npos || self == std::string::npos) return buffer.c_str();
    std::size_t end = self + std::strlen("kavSelf");
    // The separator: a comma and the blanks, tabs and newlines after it.
    if (end < buffer.size() && buffer[end] == ',') {
        ++end;
        while (end < buffer.size() && std::strchr(" \t\n", buffer[end])) ++end;
        buffer.erase(open + 1, end - open - 1);
    } else {
        buffer.replace(open + 1, end - open - 1, "void");
    }
    return buffer.c_str();
}

const char* kavtfullTypedef(std::string& buffer, Entry* cls, Entry* method) {
    if (!cls || !method) return buffer.c_str();
    Entry* introducer = method->cls;
    const char* selfType = kavtmeta && hasMod(method, darurov::Option::metaclassMember) ? kavtclsname(introducer) : nameOf(introducer);
    startText(buffer);
    buffer += method->returnTypeText ? method->returnTypeText : "void";
    buffer += " (KAVLINK *kavTD_";
    buffer += nameOf(cls);
    buffer += '_';
    buffer += nameOf(method);
    buffer += ")(";
    appendParams(buffer, method, ", ", selfType ? selfType : "");
    buffer += ')';
    return buffer.c_str();
}

void kavtdeclareIdlVarargs(FILE* out, Entry* method) {
    if (!out || !method) return;
    // The list holds what the redispatch stub passed after the object: the implicit
    // arguments, then the explicit ones. The stub's call names them all.
    for (const auto& [name, declaration] : implicitParams(method)) {
        std::string type(declaration, 0, std::strlen(declaration) - std::strlen(name));
        kavtokfprintf(out, "\t%s = va_arg(__ap, %s);\n", declaration, trimmed(type).c_str());
    }
    for (Entry* p = method->params; p; p = p->next) {
        TypeCode* declared = p->hostData ? info(p).declared : nullptr;
        std::string declaration, type;
        TypeCode* real = resolveAlias(declared);
        if (real && real->kind == kavtTkArray) {
            // An array arrives as a pointer to its element type.
            std::string element = kavc::cTypeText(real->content);
            std::string rest;
            for (std::size_t i = 1; i < real->dims.size(); ++i) rest.append("[").append(std::to_string(real->dims[i])).append("]");
            declaration = rest.empty() ? element + "* " + nameOf(p) : element + " (*" + nameOf(p) + ")" + rest;
            type = rest.empty() ? element + "*" : element + "(*)" + rest;
        } else if (declared) {
            declaration = p->declarator ? p->declarator : "";
            type = paramCType(declared, p->mode);
            if (const char* promoted = p->mode == kavtModeIn ? promotedType(real) : nullptr) {
                // Read as what the variable argument list holds, then narrowed back.
                kavtokfprintf(out, "\t%s = (%s)va_arg(__ap, %s);\n", declaration.c_str(), type.c_str(), promoted);
                continue;
            }
        } else {
            // No declared type: the declarator without the name is the type.
            declaration = p->declarator ? p->declarator : "";
            int at = kavtfindMethodName(declaration.c_str(), nameOf(p));
            type = trimmed(at < 0 ? declaration : declaration.substr(0, static_cast<std::size_t>(at)));
        }
        kavtokfprintf(out, "\t%s = va_arg(__ap, %s);\n", declaration.c_str(), type.c_str());
    }
}

int kavtisvoid(const char* returnType, const char* returnTypeText) {
    if (!returnType || std::strcmp(returnType, "void") != 0) return 0;
    return !returnTypeText || !std::strchr(returnTypeText, '*');
}

Entry* kavtnthArg(Entry* method, int index) {
    if (!method || index < 0) return nullptr;
    Entry* p = method->params;
    for (int i = 0; p && i < index; ++i) p = p->next;
    return p;
}
