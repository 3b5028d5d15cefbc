// Types and constant values of declarations.
#include "kc/lowering.h"

#include <array>
#include <climits>

namespace kc::lowering {

const kavc::BaseType* integerType(const std::string& basic) {
    const kavc::BaseType* b = kavc::findBaseType(basic);
    return b && b->constant == kavc::ConstKind::Integer ? b : nullptr;
}

namespace {

bool discriminatorType(std::string_view basic) {
    const kavc::BaseType* b = kavc::findBaseType(basic);
    if (!b) return false;
    using kavc::ConstKind;
    return b->constant == ConstKind::Integer || b->constant == ConstKind::Character ||
           b->constant == ConstKind::WideCharacter || b->constant == ConstKind::Boolean;
}

// IDL 4's integer types by their new names, for a unit that declares no type of that name:
// int16, int32 and int64 are short, long and long long, the unsigned ones likewise, and uint8
// is octet. Null for any other name.
const TypeSpec* integerTypeNamed(const ScopedName& name) {
    static constexpr std::pair<std::string_view, std::string_view> spellings[] = {
        {"int16", "short"},           {"int32", "long"},           {"int64", "long long"},
        {"uint16", "unsigned short"}, {"uint32", "unsigned long"}, {"uint64", "unsigned long long"},
        {"uint8", "octet"},
    };
    static const auto types = [] {
        std::array<TypeSpec, std::size(spellings)> all;
        for (std::size_t i = 0; i < all.size(); ++i) {
            all[i].kind = TypeSpec::Basic;
            all[i].baseType = static_cast<std::uint8_t>(kavc::findBaseType(spellings[i].second) - kavc::baseTypes + 1);
        }
        return all;
    }();
    if (name.absolute || name.parts.size() != 1) return nullptr;
    for (std::size_t i = 0; i < std::size(spellings); ++i)
        if (name.parts[0] == spellings[i].first) return &types[i];
    return nullptr;
}

}  // namespace

// ---- types and constants -------------------------------------------------------------------

// A named type that is not declared, seen from `scope`: IDL 4's signed 8-bit integer has no
// type to stand for.
void Lowering::unknownType(const TypeSpec& t, Scope* scope) {
    if (!t.name.absolute && t.name.parts.size() == 1 && t.name.parts[0] == "int8")
        diag_.error(t.loc, "unknown type 'int8': the object model has no signed 8-bit integer; use 'short', or "
                           "'octet' for 0 to 255");
    else
        unknownName(t.loc, "unknown type " + quote(t.name.text()), scope, t.name, Wanted::Type);
}

std::string Lowering::cName(Symbol* sym) const {
    return cxxName(scopedText(sym->owner, sym->name, "_"));
}

Entry* Lowering::classEntry(Symbol* cls) {
    if (!cls->iface->entry) {
        // Only forward-declared: a class Entry outside every module, so that it is never written.
        cls->iface->entry = kavc::newClass(cxxName(cls->name, hostName_), modulesOf(cls->owner), nullptr, cls->loc.line, cName(cls));
    }
    return cls->iface->entry;
}

// The code of a base type (unbounded strings included): the host finds one by its spelling,
// so each is asked for once per unit.
TypeCode* Lowering::baseTypeCode(const TypeSpec& t) {
    if (t.baseType && basicTypes_[t.baseType - 1]) return basicTypes_[t.baseType - 1];
    TypeCode* type = kavc::basicType(t.basic());
    if (t.baseType) basicTypes_[t.baseType - 1] = type;
    return type;
}

TypeCode* Lowering::resolveType(const TypeSpec& t, Scope* scope) {
    switch (t.kind) {
        case TypeSpec::Basic: {
            if (!t.baseType || kavc::baseTypes[t.baseType - 1].kind != kavtTkFixed) return baseTypeCode(t);
            if (!t.bound()) {
                diag_.error(t.loc, "'fixed' needs its digits and scale here: fixed<digits, scale>");
                return nullptr;
            }
            auto digits = evaluate(*t.bound(), scope);
            auto scale = evaluate(*t.scale(), scope);
            if (!digits || !scale) return nullptr;
            if (digits->kind != Value::Int || digits->i < 1 || digits->i > 31 || scale->kind != Value::Int ||
                scale->i < 0 || scale->i > digits->i) {
                diag_.error(t.loc, "fixed<digits, scale> takes 1 to 31 digits and a scale from 0 to the digits");
                return nullptr;
            }
            return kavc::fixedType(static_cast<unsigned long>(digits->i), static_cast<int>(scale->i));
        }
        case TypeSpec::String: {
            if (!t.bound()) return baseTypeCode(t);  // what the host's stringType(0, wide) gives
            bool wide = t.basic() == "wstring";
            auto bound = positive(*t.bound(), scope, "string bound");
            return kavc::stringType(bound ? *bound : 0, wide);
        }
        case TypeSpec::Sequence: {
            // A struct or union as the element is taken by name, before its members: it may
            // contain this very sequence (struct Node { sequence<Node> kids; };).
            Symbol* named = t.element()->kind == TypeSpec::Named ? lookup(scope, t.element()->name) : nullptr;
            bool byName = named && (named->kind == Symbol::Struct || named->kind == Symbol::Union) &&
                          !named->forwardOnly && named->state != Symbol::Done;
            TypeCode* element = byName ? shellOf(named) : resolveType(*t.element(), scope);
            unsigned long bound = 0;
            if (t.bound()) {
                auto b = positive(*t.bound(), scope, "sequence bound");
                bound = b ? *b : 0;
            }
            return element ? kavc::sequenceType(element, bound) : nullptr;
        }
        case TypeSpec::Named: {
            Symbol* sym = lookup(scope, t.name);
            if (!sym) {
                if (const TypeSpec* integer = integerTypeNamed(t.name)) return baseTypeCode(*integer);
                unknownType(t, scope);
                return nullptr;
            }
            switch (sym->kind) {
                case Symbol::Interface: return kavc::objrefType(classEntry(sym));
                case Symbol::Typedef:
                case Symbol::Struct:
                case Symbol::Union:
                case Symbol::Enum:
                case Symbol::Native: return typeOf(sym, t.loc);
                case Symbol::Exception:
                    diag_.error(t.loc, "exception " + quote(t.name.text()) + " cannot be used as a type");
                    return nullptr;
                default:
                    diag_.error(t.loc, quote(t.name.text()) + " is " + withArticle(sym->kind) + ", not a type");
                    return nullptr;
            }
        }
        default: return nullptr;
    }
}

// The type code of a struct or union, made before its members are known.
TypeCode* Lowering::shellOf(Symbol* sym) {
    if (!sym->type())
        sym->part().type = sym->kind == Symbol::Struct ? kavc::structType(cName(sym), {}) : kavc::unionType(cName(sym), nullptr, {});
    return sym->type();
}

TypeCode* Lowering::withDims(TypeCode* base, const Declarator& d, Scope* scope) {
    if (d.dims.empty() || !base) return base;
    std::vector<unsigned long> dims;
    for (const auto& dim : d.dims) {
        auto n = positive(*dim, scope, "array size");
        if (!n) return nullptr;
        dims.push_back(*n);
    }
    return kavc::arrayType(base, dims);
}

TypeCode* Lowering::typeOf(Symbol* sym, Loc use) {
    if (sym->state == Symbol::Done) return sym->type();
    if (sym->forwardOnly) {
        diag_.error(use, std::string(kindName(sym->kind)) + " " + quote(sym->name) + " is declared but never defined");
        diag_.note(sym->loc, "declared here");
        return nullptr;
    }
    if (sym->state == Symbol::Busy) {
        diag_.error(use, "type " + quote(sym->name) + " refers to itself");
        return nullptr;
    }
    if (depth_ >= maxResolveDepth) {
        diag_.error(use, "types nested too deeply");
        return nullptr;
    }
    ++depth_;
    sym->state = Symbol::Busy;
    const Decl& d = *sym->decl;
    Scope* scope = sym->owner;
    TypeCode* result = nullptr;
    switch (sym->kind) {
        case Symbol::Typedef: {
            TypeCode* base = withDims(resolveType(d.type, scope), *sym->declarator(), scope);
            if (base) result = kavc::aliasType(cName(sym), base);
            break;
        }
        case Symbol::Struct:
        case Symbol::Exception: {
            std::vector<std::pair<std::string, TypeCode*>> members;
            std::map<std::string, Loc> seen;
            bool ok = true;
            for (const Member& m : d.more().members) {
                TypeCode* base = resolveType(m.type, scope);
                for (const Declarator& dd : m.declarators) {
                    if (!seen.emplace(dd.name, dd.loc).second) {
                        diag_.error(dd.loc, "duplicate member " + quote(dd.name));
                        diag_.note(seen[dd.name], "previous declaration of " + quote(dd.name) + " was here");
                        ok = false;
                    }
                    TypeCode* t = withDims(base, dd, scope);
                    if (!t) ok = false;
                    members.emplace_back(cxxName(dd.name), t);
                }
            }
            if (ok && sym->kind == Symbol::Struct) result = kavc::completeType(shellOf(sym), nullptr, members);
            break;
        }
        case Symbol::Union: {
            Scope* at = scope;
            Symbol* enumSym = nullptr;
            const TypeSpec* basic = basicOf((*d.more().discriminator), scope, at, enumSym);
            TypeCode* disc = resolveType((*d.more().discriminator), scope);
            bool okDisc = enumSym || (basic && basic->kind == TypeSpec::Basic &&
                                      discriminatorType(basic->basic()));
            if (disc && !okDisc) {
                diag_.error((*d.more().discriminator).loc, "a union discriminator must be an integer, char, boolean or enum type");
                disc = nullptr;
            }
            std::vector<std::pair<std::string, TypeCode*>> members;
            std::map<std::string, Loc> seen;
            bool ok = disc != nullptr;
            int defaults = 0;
            for (const UnionCase& c : d.more().cases) {
                for (const auto& label : c.labels)
                    if (!evaluate(*label, scope)) ok = false;
                if (c.isDefault && ++defaults == 2) {
                    diag_.error(c.loc, "more than one 'default' label in union " + quote(sym->name));
                    ok = false;
                }
                const Declarator& dd = c.declarator;
                if (!seen.emplace(dd.name, dd.loc).second) {
                    diag_.error(dd.loc, "duplicate member " + quote(dd.name));
                    ok = false;
                }
                TypeCode* t = withDims(resolveType(c.type, scope), dd, scope);
                if (!t) ok = false;
                members.emplace_back(cxxName(dd.name), t);
            }
            if (ok) result = kavc::completeType(shellOf(sym), disc, members);
            break;
        }
        case Symbol::Native: result = kavc::nativeType(cName(sym)); break;
        case Symbol::Enum: {
            std::vector<std::string> names;
            for (const auto& e : d.more().enumerators) names.push_back(e.first);
            result = kavc::enumType(cName(sym), names);
            break;
        }
        default: break;
    }
    sym->part().type = result;
    sym->state = Symbol::Done;
    --depth_;
    return result;
}

// Follows typedef names down to a basic type spec (and its scope); enumSym is set for an enum.
const TypeSpec* Lowering::basicOf(const TypeSpec& t, Scope* scope, Scope*& at, Symbol*& enumSym) {
    const TypeSpec* spec = &t;
    at = scope;
    for (int guard = 0; spec->kind == TypeSpec::Named && guard < maxResolveDepth; ++guard) {
        Symbol* sym = lookup(at, spec->name);
        if (!sym) return integerTypeNamed(spec->name);
        if (sym->kind == Symbol::Enum) {
            enumSym = sym;
            return nullptr;
        }
        if (sym->kind != Symbol::Typedef || !sym->declarator()->dims.empty()) return nullptr;
        spec = &sym->decl->type;
        at = sym->owner;
    }
    return spec->kind == TypeSpec::Named ? nullptr : spec;
}

std::optional<unsigned long> Lowering::positive(const Expr& e, Scope* scope, const char* what) {
    auto v = evaluate(e, scope);
    if (!v) return std::nullopt;
    if (v->kind != Value::Int || v->i <= 0 || v->i > INT32_MAX) {
        diag_.error(e.loc, std::string(what) + " is not a positive integer constant");
        return std::nullopt;
    }
    return static_cast<unsigned long>(v->i);
}

std::optional<Value> Lowering::constValue(Symbol* sym, Loc use) {
    if (sym->state == Symbol::Busy) {
        diag_.error(use, "constant " + quote(sym->name) + " depends on itself");
        return std::nullopt;
    }
    if (depth_ >= maxResolveDepth) {
        diag_.error(use, "constants nested too deeply");
        return std::nullopt;
    }
    if (sym->state == Symbol::Done) return sym->constant() ? std::optional<Value>(*sym->constant()) : std::nullopt;
    ++depth_;
    sym->state = Symbol::Busy;
    std::optional<Value> v = evaluate(*sym->decl->more().value, sym->owner);
    if (v && !fits(sym->decl->type, sym->owner, *v, sym->decl->more().value->loc)) v.reset();
    sym->state = Symbol::Done;
    --depth_;
    if (v) sym->part().constant = std::make_unique<Value>(*v);
    return v;
}

// Checks (and converts) a constant's value for its declared type.
bool Lowering::fits(const TypeSpec& type, Scope* scope, Value& v, Loc at) {
    Scope* where = scope;
    Symbol* enumSym = nullptr;
    const TypeSpec* spec = basicOf(type, scope, where, enumSym);
    if (enumSym) {
        if (v.enumerator && v.enumerator->enumType() == enumSym) return true;
        diag_.error(at, "the value is not an enumerator of " + quote(enumSym->name));
        return false;
    }
    if (!spec) {
        if (type.kind == TypeSpec::Named && !lookup(scope, type.name))
            unknownType(type, scope);
        else
            diag_.error(type.loc, "invalid type for a constant");
        return false;
    }
    const std::string name(spec->basic());
    auto mismatch = [&](const char* wanted) {
        diag_.error(at, "a constant of type " + quote(name) + " needs " + wanted);
        return false;
    };
    const kavc::BaseType* b = kavc::findBaseType(name);
    switch (b ? b->constant : kavc::ConstKind::None) {
        case kavc::ConstKind::Integer:
            if (v.kind != Value::Int) return mismatch("an integer value");
            if (v.i < b->low || v.i > b->high) {
                diag_.error(at, "constant value out of range for " + quote(name));
                return false;
            }
            return true;
        case kavc::ConstKind::Floating:
            if (v.kind == Value::Int) {
                v.f = static_cast<double>(v.i);
                v.kind = Value::Float;
            }
            return v.kind == Value::Float || mismatch("a numeric value");
        case kavc::ConstKind::Fixed:
            if (v.kind == Value::Int) {
                v.f = static_cast<double>(v.i);
                v.kind = Value::Fixed;
            }
            return v.kind == Value::Fixed || mismatch("a fixed-point value (1.5d)");
        case kavc::ConstKind::Character: return v.kind == Value::Char || mismatch("a character value");
        case kavc::ConstKind::WideCharacter:
            return v.kind == Value::Char || v.kind == Value::WChar || mismatch("a character value");
        case kavc::ConstKind::Boolean: return v.kind == Value::Bool || mismatch("TRUE or FALSE");
        case kavc::ConstKind::String: return v.kind == Value::String || mismatch("a string value");
        case kavc::ConstKind::WideString:
            return v.kind == Value::String || v.kind == Value::WString || mismatch("a string value");
        case kavc::ConstKind::None: break;
    }
    diag_.error(type.loc, "invalid type for a constant");
    return false;
}

// Operators are evaluated by recursion; constants naming constants nest it further, so the
// whole depth is bounded.
std::optional<Value> Lowering::evaluate(const Expr& e, Scope* scope) {
    if (e.kind != Expr::Unary && e.kind != Expr::Binary) return evaluateNode(e, scope);
    if (evaluationDepth_ >= maxEvaluationDepth) {
        diag_.error(e.loc, "constant expression nested too deeply");
        return std::nullopt;
    }
    ++evaluationDepth_;
    std::optional<Value> v = evaluateNode(e, scope);
    --evaluationDepth_;
    return v;
}

std::optional<Value> Lowering::evaluateNode(const Expr& e, Scope* scope) {
    Value v;
    switch (e.kind) {
        case Expr::Int:
            if (e.intValue > static_cast<unsigned long long>(LLONG_MAX)) {
                diag_.error(e.loc, "integer constant is too large");
                return std::nullopt;
            }
            v.i = static_cast<long long>(e.intValue);
            return v;
        case Expr::Float: v.kind = Value::Float; v.f = e.floatValue; return v;
        case Expr::Fixed: v.kind = Value::Fixed; v.f = e.floatValue; return v;
        case Expr::String: v.kind = e.wide ? Value::WString : Value::String; v.s = e.text; return v;
        case Expr::Char: v.kind = e.wide ? Value::WChar : Value::Char; v.s = e.text; return v;
        case Expr::Bool: v.kind = Value::Bool; v.i = static_cast<long long>(e.intValue); return v;
        case Expr::Name: {
            Symbol* sym = lookup(scope, e.name);
            if (!sym) {
                unknownName(e.loc, quote(e.name.text()) + " was not declared", scope, e.name, Wanted::Value);
                return std::nullopt;
            }
            if (sym->kind == Symbol::Const) return constValue(sym, e.loc);
            if (sym->kind == Symbol::Enumerator) {
                v.i = sym->enumIndex();
                v.enumerator = sym;
                return v;
            }
            diag_.error(e.loc, quote(e.name.text()) + " is " + withArticle(sym->kind) + ", not a constant");
            return std::nullopt;
        }
        case Expr::Unary: {
            auto a = evaluate(*e.lhs, scope);
            if (!a) return std::nullopt;
            if ((a->kind == Value::Float || a->kind == Value::Fixed) && e.text != "~") {
                a->f = e.text == "-" ? -a->f : a->f;
                a->enumerator = nullptr;
                return a;
            }
            if (a->kind != Value::Int || a->enumerator) {
                diag_.error(e.loc, "invalid operand to unary " + quote(e.text));
                return std::nullopt;
            }
            if (e.text == "-") {
                if (a->i == LLONG_MIN) {
                    diag_.error(e.loc, "integer overflow in constant expression");
                    return std::nullopt;
                }
                a->i = -a->i;
            } else if (e.text == "~") {
                a->i = ~a->i;
            }
            return a;
        }
        case Expr::Binary: {
            auto a = evaluate(*e.lhs, scope);
            auto b = evaluate(*e.rhs, scope);
            if (!a || !b) return std::nullopt;
            const std::string& op = e.text;
            auto real = [](const Value& x) { return x.kind == Value::Float || x.kind == Value::Fixed; };
            bool numeric = (a->kind == Value::Int || real(*a)) && (b->kind == Value::Int || real(*b)) &&
                           !a->enumerator && !b->enumerator &&
                           !(real(*a) && real(*b) && a->kind != b->kind);  // fixed and floating do not mix
            if (!numeric) {
                diag_.error(e.loc, "invalid operands to " + quote(op));
                return std::nullopt;
            }
            if (real(*a) || real(*b)) {
                if (op != "+" && op != "-" && op != "*" && op != "/") {
                    diag_.error(e.loc, "invalid operands to " + quote(op));
                    return std::nullopt;
                }
                double x = real(*a) ? a->f : static_cast<double>(a->i);
                double y = real(*b) ? b->f : static_cast<double>(b->i);
                if (op == "/" && y == 0 && (a->kind == Value::Fixed || b->kind == Value::Fixed)) {
                    diag_.error(e.loc, "division by zero in constant expression");
                    return std::nullopt;
                }
                v.kind = real(*a) ? a->kind : b->kind;
                v.f = op == "+" ? x + y : op == "-" ? x - y : op == "*" ? x * y : x / y;
                return v;
            }
            long long x = a->i, y = b->i, r = 0;
            bool overflow = false;
            if (op == "+") overflow = __builtin_add_overflow(x, y, &r);
            else if (op == "-") overflow = __builtin_sub_overflow(x, y, &r);
            else if (op == "*") overflow = __builtin_mul_overflow(x, y, &r);
            else if (op == "/" || op == "%") {
                if (y == 0) {
                    diag_.error(e.loc, "division by zero in constant expression");
                    return std::nullopt;
                }
                if (x == LLONG_MIN && y == -1) overflow = true;
                else r = op == "/" ? x / y : x % y;
            } else if (op == "<<" || op == ">>") {
                if (y < 0 || y > 63) {
                    diag_.error(e.loc, "shift count out of range");
                    return std::nullopt;
                }
                if (op == ">>") r = x >> y;
                else if (x < 0 || (y > 0 && (x >> (63 - y)) != 0)) overflow = true;
                else r = x << y;
            } else if (op == "&") r = x & y;
            else if (op == "|") r = x | y;
            else if (op == "^") r = x ^ y;
            if (overflow) {
                diag_.error(e.loc, "integer overflow in constant expression");
                return std::nullopt;
            }
            v.i = r;
            return v;
        }
    }
    return std::nullopt;
}

// Resolves what a type, constant or exception declaration names, reporting its errors once.
void Lowering::checkDeclaration(Symbol* sym) {
    switch (sym->kind) {
        case Symbol::Const: {
            constValue(sym, sym->loc);
            break;
        }
        default: typeOf(sym, sym->loc); break;
    }
}

}  // namespace kc::lowering
