// C prototypes, typedefs and argument lists of methods.
#include "kavc/store.h"

#include <cstring>

using namespace kavc::detail;

namespace {

bool zdlCallStyle() { return kavtgetgatt(darurov::optionName(darurov::Option::csc)) != nullptr; }

// The implicit parameters after the target object: names and declarations.
std::vector<std::pair<const char*, const char*>> implicitParams(Entry* method) {
    if (zdlCallStyle()) return {};
    std::vector<std::pair<const char*, const char*>> result{{"ev", "Environment *ev"}};
    if (method && method->hostData && info(method).context) result.emplace_back("ctx", "Context *ctx");
    return result;
}

std::string join(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) text += separator ? separator : "";
        text += parts[i];
    }
    return text;
}

std::vector<std::string> declarators(Entry* method) {
    std::vector<std::string> result;
    for (Entry* p = method->params; p; p = p->next) result.emplace_back(p->declarator ? p->declarator : "");
    return result;
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
    return method && method->hostData && info(method).context ? ",ev,ctx" : ",ev";
}

const char* kavtshortArgList(std::string& buffer, Entry* method, const char* separator,
                             int /*unused*/, int flag) {
    std::vector<std::string> names;
    if (flag) {
        names.emplace_back("kavSelf");
        for (const auto& param : implicitParams(method)) names.emplace_back(param.first);
    }
    for (Entry* p = method ? method->params : nullptr; p; p = p->next) names.emplace_back(nameOf(p));
    buffer = join(names, separator);
    return buffer.c_str();
}

const char* kavtprefixedPrototype(std::string& buffer, Entry* method, const char* separator,
                                  int /*unused*/, const char* prefix) {
    if (!method) return buffer.c_str();
    std::vector<std::string> params{std::string(nameOf(selfClass(method))) + " *kavSelf"};
    for (const auto& param : implicitParams(method)) params.emplace_back(param.second);
    for (const std::string& d : declarators(method)) params.push_back(d);
    buffer = std::string(method->returnTypeText ? method->returnTypeText : "void") + " KAVLINK " +
             (prefix ? prefix : "") + nameOf(method) + "(" + join(params, separator) + ")";
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
    std::vector<std::string> params{std::string(selfType ? selfType : "") + " *kavSelf"};
    for (const auto& param : implicitParams(method)) params.emplace_back(param.second);
    for (const std::string& d : declarators(method)) params.push_back(d);
    buffer = std::string(method->returnTypeText ? method->returnTypeText : "void") + " (KAVLINK *kavTD_" +
             nameOf(cls) + "_" + nameOf(method) + ")(" + join(params, ", ") + ")";
    return buffer.c_str();
}

void kavtdeclareIdlVarargs(FILE* out, Entry* method) {
    if (!out || !method) return;
    // The list holds what the redispatch stub passed after the object: the implicit
    // arguments, then the explicit ones. The stub's call names them all.
    for (const auto& [name, declaration] : implicitParams(method)) {
        std::string type(declaration, 0, std::strlen(declaration) - std::strlen(name));
        std::fprintf(out, "\t%s = va_arg(__ap, %s);\n", declaration, trimmed(type).c_str());
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
                std::fprintf(out, "\t%s = (%s)va_arg(__ap, %s);\n", declaration.c_str(), type.c_str(), promoted);
                continue;
            }
        } else {
            // No declared type: the declarator without the name is the type.
            declaration = p->declarator ? p->declarator : "";
            int at = kavtfindMethodName(declaration.c_str(), nameOf(p));
            type = trimmed(at < 0 ? declaration : declaration.substr(0, static_cast<std::size_t>(at)));
        }
        std::fprintf(out, "\t%s = va_arg(__ap, %s);\n", declaration.c_str(), type.c_str());
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
