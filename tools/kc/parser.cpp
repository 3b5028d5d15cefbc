#include "kc/parser.h"

#include "kavc/base_types.h"

#include <cerrno>
#include <cstdlib>
#include <set>

namespace kc {

namespace {

const std::set<std::string> reservedWords = {
    "module", "interface", "attribute", "readonly", "in", "out", "inout", "oneway", "raises",
    "context", "typedef", "struct", "union", "switch", "case", "default", "enum", "const",
    "exception", "sequence", "TRUE", "FALSE", "implementation"};

// A word of a base type's keyword spelling ("unsigned", "long", "wchar").
bool baseTypeWord(const std::string& word) {
    for (const kavc::BaseType& b : kavc::baseTypes) {
        if (!b.keyword) continue;
        std::string_view idl = b.idl;
        for (size_t from = 0; from <= idl.size();) {
            size_t blank = idl.find(' ', from);
            if (blank == std::string_view::npos) blank = idl.size();
            if (idl.substr(from, blank - from) == word) return true;
            from = blank + 1;
        }
    }
    return false;
}

}  // namespace

bool isReserved(const std::string& word) { return reservedWords.count(word) != 0 || baseTypeWord(word); }

// ---- tokens ------------------------------------------------------------------------------

const Token& Parser::peek(size_t ahead) {
    while (ahead_.size() <= ahead) ahead_.push_back(pp_.next());
    return ahead_[ahead];
}

Token Parser::take() {
    Token t = peek();
    ahead_.pop_front();
    ++taken_;
    if (t.kind != Tok::End) {
        size_t width = t.kind == Tok::String || t.kind == Tok::Char ? t.text.size() + 2 : t.text.size();
        prevEnd_ = t.loc;
        prevEnd_.col += static_cast<int>(width);
    }
    return t;
}

bool Parser::accept(const char* punct) {
    if (!peek().punct(punct)) return false;
    take();
    return true;
}

// "expected X before Y", placed after the previous token when Y is on a later line (as a
// reader expects for a missing ';').
void Parser::expectedBefore(const std::string& what) {
    const Token& t = peek();
    if (t.kind == Tok::End) {
        if (!reportedEnd_) diag_.error(prevEnd_.file >= 0 ? prevEnd_ : t.loc, "expected " + what + " at end of input");
        reportedEnd_ = true;
        return;
    }
    bool laterLine = prevEnd_.file >= 0 && (t.loc.file != prevEnd_.file || t.loc.line > prevEnd_.line);
    diag_.error(laterLine ? prevEnd_ : t.loc, "expected " + what + " before " + describe(t));
}

bool Parser::expect(const char* punct) {
    if (accept(punct)) return true;
    expectedBefore(quote(punct));
    return false;
}

bool Parser::expectKeyword(const char* word) {
    if (peek().ident(word)) {
        take();
        return true;
    }
    expectedBefore(quote(word));
    return false;
}

bool Parser::expectIdent(std::string& name, Loc& at) {
    const Token& t = peek();
    if (t.kind == Tok::Ident && !isReserved(t.text)) {
        at = t.loc;
        name = take().text;
        return true;
    }
    expectedBefore("identifier");
    return false;
}

bool Parser::closeAngle() {
    Token& t = const_cast<Token&>(peek());
    if (t.punct(">")) {
        take();
        return true;
    }
    if (t.punct(">>")) {  // sequence<sequence<long>>: the first '>' closes this one
        t.text = ">";
        t.loc.col += 1;
        prevEnd_ = t.loc;
        return true;
    }
    expectedBefore("'>'");
    return false;
}

bool Parser::enter() {
    if (++depth_ <= maxNesting) return true;
    diag_.error(peek().loc, "nesting too deep");
    --depth_;
    return false;
}

// Skip to the end of the broken declaration: past the next ';' at this level, or up to the
// '}' that closes the enclosing block.
void Parser::recover() {
    int braces = 0;
    for (;;) {
        const Token& t = peek();
        if (t.kind == Tok::End) return;
        if (t.punct("{")) {
            ++braces;
        } else if (t.punct("}")) {
            if (braces == 0) return;
            --braces;
            if (braces == 0) {
                take();
                accept(";");
                return;
            }
        } else if (t.punct(";") && braces == 0) {
            take();
            return;
        }
        take();
    }
}

// ---- declarations --------------------------------------------------------------------------

Specification Parser::parse() {
    Specification spec;
    definitions(spec.decls, false, true);
    return spec;
}

void Parser::definitions(DeclList& out, bool inInterface, bool topLevel) {
    for (;;) {
        const Token& t = peek();
        if (t.kind == Tok::End) {
            if (!topLevel) expectedBefore("'}'");
            return;
        }
        if (t.punct("}")) {
            if (!topLevel) return;
            diag_.error(t.loc, "expected declaration before '}'");
            take();
            continue;
        }
        if (t.punct(";")) {  // a stray ';' between declarations is harmless
            take();
            continue;
        }
        size_t before = taken_;
        if (!definition(out, inInterface)) {
            recover();
            if (taken_ == before && peek().kind != Tok::End && !peek().punct("}")) take();  // always move on
        }
    }
}

bool Parser::definition(DeclList& out, bool inInterface) {
    const Token& t = peek();
    if (t.kind == Tok::Ident) {
        const std::string& w = t.text;
        if (w == "module" || w == "interface") {
            if (inInterface) {
                diag_.error(t.loc, "a" + std::string(w == "module" ? " module" : "n interface") +
                                       " cannot be declared inside an interface");
                return false;
            }
            return w == "module" ? module(out) : interface(out);
        }
        if (w == "typedef" || w == "struct" || w == "union" || w == "enum" || w == "const" ||
            w == "exception")
            return typeDeclaration(out);
        if (inInterface) {
            if (w == "attribute" || w == "readonly") return attribute(out);
            if (w == "implementation" && peek(1).punct("{")) return implementation(out);
            if (w == "oneway" || startsType(t) || w == "void") return operation(out);
        }
    } else if (inInterface && t.punct("::")) {
        return operation(out);
    }
    expectedBefore("declaration");
    return false;
}

bool Parser::module(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Module;
    take();
    if (!expectIdent(d->name, d->loc) || !expect("{")) return false;
    if (!enter()) return false;
    Decl* m = d.get();
    out.push_back(std::move(d));
    definitions(m->body, false, false);
    leave();
    return expect("}") && expect(";");
}

bool Parser::interface(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Interface;
    take();
    if (!expectIdent(d->name, d->loc)) return false;
    if (accept(";")) {
        d->kind = Decl::Forward;
        out.push_back(std::move(d));
        return true;
    }
    if (accept(":")) {
        do {
            ScopedName parent;
            if (!scopedName(parent)) return false;
            d->parents.push_back(std::move(parent));
        } while (accept(","));
    }
    if (!expect("{")) return false;
    Decl* i = d.get();
    out.push_back(std::move(d));
    definitions(i->body, true, false);
    return expect("}") && expect(";");
}

bool Parser::typeDeclaration(DeclList& out) {
    const Token& t = peek();
    if (t.ident("typedef")) return typedefDecl(out);
    if (t.ident("const")) return constDecl(out);
    std::unique_ptr<Decl> d = constructedType();
    if (!d) return false;
    out.push_back(std::move(d));
    return expect(";");
}

// struct, exception, union or enum up to its closing '}'.
std::unique_ptr<Decl> Parser::constructedType() {
    auto d = std::make_unique<Decl>();
    std::string keyword = take().text;
    if (!expectIdent(d->name, d->loc)) return nullptr;
    if (keyword == "struct" || keyword == "exception") {
        d->kind = keyword == "struct" ? Decl::Struct : Decl::Exception;
        if (!expect("{") || !members(d->members)) return nullptr;
        if (d->kind == Decl::Struct && d->members.empty()) {
            diag_.error(d->loc, "struct " + quote(d->name) + " has no members");
            return nullptr;
        }
        return d;
    }
    if (keyword == "enum") {
        d->kind = Decl::Enum;
        if (!expect("{")) return nullptr;
        do {
            std::pair<std::string, Loc> e;
            if (!expectIdent(e.first, e.second)) return nullptr;
            d->enumerators.push_back(std::move(e));
        } while (accept(","));
        if (!expect("}")) return nullptr;
        return d;
    }
    d->kind = Decl::Union;
    if (!expectKeyword("switch") || !expect("(") || !typeSpec(d->discriminator, false) ||
        !expect(")") || !expect("{"))
        return nullptr;
    while (!accept("}")) {
        UnionCase c;
        c.loc = peek().loc;
        for (;;) {
            if (peek().ident("case")) {
                take();
                auto label = expression();
                if (!label || !expect(":")) return nullptr;
                c.labels.push_back(std::move(label));
            } else if (peek().ident("default")) {
                take();
                if (!expect(":")) return nullptr;
                c.isDefault = true;
            } else {
                break;
            }
        }
        if (c.labels.empty() && !c.isDefault) {
            expectedBefore("'case' or 'default'");
            return nullptr;
        }
        if (!typeSpec(c.type, false) || !declarator(c.declarator) || !expect(";")) return nullptr;
        d->cases.push_back(std::move(c));
    }
    if (d->cases.empty()) {
        diag_.error(d->loc, "union " + quote(d->name) + " has no cases");
        return nullptr;
    }
    return d;
}

bool Parser::members(std::vector<Member>& out) {
    while (!peek().punct("}")) {
        if (peek().kind == Tok::End) {
            expectedBefore("'}'");
            return false;
        }
        Member m;
        if (!member(m)) return false;
        out.push_back(std::move(m));
    }
    take();
    return true;
}

bool Parser::member(Member& m) {
    return typeSpec(m.type, false) && declarators(m.declarators) && expect(";");
}

bool Parser::typedefDecl(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Typedef;
    d->loc = take().loc;
    const Token& t = peek();
    if (t.ident("struct") || t.ident("union") || t.ident("enum")) {
        // typedef struct X { ... } Y;  declares X, then Y as another name of it
        std::unique_ptr<Decl> inner = constructedType();
        if (!inner) return false;
        d->type.kind = TypeSpec::Named;
        d->type.loc = inner->loc;
        d->type.name.parts = {inner->name};
        d->type.name.loc = inner->loc;
        out.push_back(std::move(inner));
    } else if (!typeSpec(d->type, false)) {
        return false;
    }
    if (!declarators(d->declarators)) return false;
    d->name = d->declarators.front().name;
    out.push_back(std::move(d));
    return expect(";");
}

bool Parser::constDecl(DeclList& out) {
    take();
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Const;
    if (!typeSpec(d->type, false) || !expectIdent(d->name, d->loc) || !expect("=")) return false;
    d->value = expression();
    if (!d->value) return false;
    out.push_back(std::move(d));
    return expect(";");
}

bool Parser::attribute(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Attribute;
    d->loc = peek().loc;
    if (peek().ident("readonly")) {
        take();
        d->readonly = true;
    }
    if (!expectKeyword("attribute") || !typeSpec(d->type, false)) return false;
    do {
        Declarator name;
        if (!expectIdent(name.name, name.loc)) return false;
        d->declarators.push_back(std::move(name));
    } while (accept(","));
    d->name = d->declarators.front().name;
    out.push_back(std::move(d));
    return expect(";");
}

bool Parser::operation(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Operation;
    if (peek().ident("oneway")) {
        take();
        d->oneway = true;
    }
    if (!typeSpec(d->type, true) || !expectIdent(d->name, d->loc) || !expect("(")) return false;
    if (!accept(")")) {
        do {
            Param p;
            p.loc = peek().loc;
            const Token& m = peek();
            if (m.ident("in")) p.mode = 1;
            else if (m.ident("out")) p.mode = 2;
            else if (m.ident("inout")) p.mode = 3;
            else {
                expectedBefore("'in', 'out' or 'inout'");
                return false;
            }
            take();
            if (!typeSpec(p.type, false) || !declarator(p.declarator)) return false;
            d->params.push_back(std::move(p));
        } while (accept(","));
        if (!expect(")")) return false;
    }
    if (peek().ident("raises")) {
        take();
        if (!expect("(")) return false;
        do {
            ScopedName e;
            if (!scopedName(e)) return false;
            d->raises.push_back(std::move(e));
        } while (accept(","));
        if (!expect(")")) return false;
    }
    if (peek().ident("context")) {
        take();
        d->hasContext = true;
        if (!expect("(")) return false;
        do {
            if (peek().kind != Tok::String) {
                expectedBefore("string constant");
                return false;
            }
            d->context.push_back(take().text);
        } while (accept(","));
        if (!expect(")")) return false;
    }
    out.push_back(std::move(d));
    return expect(";");
}

// ---- the implementation section ------------------------------------------------------------

bool Parser::implementation(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Implementation;
    d->loc = take().loc;
    take();  // '{'
    Decl* impl = d.get();
    out.push_back(std::move(d));
    for (;;) {
        const Token& t = peek();
        if (t.punct("}")) break;
        if (t.kind == Tok::End) {
            expectedBefore("'}'");
            return false;
        }
        if (accept(";")) continue;
        size_t before = taken_;
        if (!implStatement(*impl)) {
            // skip to the end of the statement, staying inside the section
            while (!peek().punct(";") && !peek().punct("}") && peek().kind != Tok::End) take();
            accept(";");
            if (taken_ == before && peek().kind != Tok::End && !peek().punct("}")) take();
        }
    }
    take();
    return expect(";");
}

bool Parser::startsType(const Token& t) const {
    return t.kind == Tok::Ident && (t.text == "sequence" || kavc::startsBaseType(t.text) || !isReserved(t.text));
}

bool Parser::implStatement(Decl& impl) {
    ImplStmt s;
    const Token& t = peek();
    s.loc = t.loc;
    if (t.ident("releaseorder") && peek(1).punct(":")) {
        s.kind = ImplStmt::ReleaseOrder;
        take();
        take();
        if (!peek().punct(";")) {
            do {
                std::pair<std::string, Loc> name;
                if (!expectIdent(name.first, name.second)) return false;
                s.names.push_back(std::move(name));
            } while (accept(","));
        }
        if (!expect(";")) return false;
        impl.impl.push_back(std::move(s));
        return true;
    }
    if (t.ident("passthru") && peek(1).kind == Tok::Ident) {
        s.kind = ImplStmt::Passthru;
        take();
        Loc at;
        if (!expectIdent(s.passthruName, at) || !expect("=")) return false;
        if (peek().kind != Tok::String) {
            expectedBefore("string constant");
            return false;
        }
        while (peek().kind == Tok::String) s.passthruText += take().text;
        if (!expect(";")) return false;
        impl.impl.push_back(std::move(s));
        return true;
    }
    bool typeWord = t.kind == Tok::Ident && isReserved(t.text) && startsType(t);
    if (typeWord) {
        s.kind = ImplStmt::DataMember;
        if (!member(s.data)) return false;
        impl.impl.push_back(std::move(s));
        return true;
    }
    if (t.kind != Tok::Ident && !t.punct("::")) {
        expectedBefore("implementation statement");
        return false;
    }
    ScopedName head;
    if (t.kind == Tok::Ident && !t.punct("::")) {
        // a modifier statement may name anything, even a reserved word used as a method name
        head.loc = t.loc;
        head.parts.push_back(take().text);
        while (accept("::")) {
            std::string part;
            Loc at;
            if (!expectIdent(part, at)) return false;
            head.parts.push_back(part);
        }
    } else if (!scopedName(head)) {
        return false;
    }
    const Token& n = peek();
    if (n.kind == Tok::Ident) {  // Type name ...: a data member of a named type
        s.kind = ImplStmt::DataMember;
        s.data.type.kind = TypeSpec::Named;
        s.data.type.loc = head.loc;
        s.data.type.name = head;
        if (!declarators(s.data.declarators) || !expect(";")) return false;
        impl.impl.push_back(std::move(s));
        return true;
    }
    if (n.punct(":") || n.punct(",")) {
        s.kind = ImplStmt::MemberModifiers;
        s.targets.push_back(std::move(head));
        while (accept(",")) {
            ScopedName more;
            if (!scopedName(more)) return false;
            s.targets.push_back(std::move(more));
        }
        if (!expect(":")) return false;
        do {
            Modifier m;
            if (!modifier(m)) return false;
            s.modifiers.push_back(std::move(m));
        } while (accept(","));
        if (!expect(";")) return false;
        impl.impl.push_back(std::move(s));
        return true;
    }
    if (n.punct("=") || n.punct(";")) {
        s.kind = ImplStmt::ClassModifier;
        if (head.parts.size() != 1 || head.absolute) {
            diag_.error(head.loc, "a class modifier name is a simple identifier");
            return false;
        }
        s.modifier.name = head.parts[0];
        s.modifier.loc = head.loc;
        if (accept("=")) {
            s.modifier.hasValue = true;
            if (!modifierValue(s.modifier.value)) return false;
        }
        if (!expect(";")) return false;
        impl.impl.push_back(std::move(s));
        return true;
    }
    expectedBefore("':', '=' or ';'");
    return false;
}

bool Parser::modifier(Modifier& m) {
    const Token& t = peek();
    if (t.kind != Tok::Ident) {
        expectedBefore("modifier name");
        return false;
    }
    m.loc = t.loc;
    m.name = take().text;
    if (accept("=")) {
        m.hasValue = true;
        return modifierValue(m.value);
    }
    return true;
}

// A string (adjacent strings joined), a number, or a name (scoped names as written).
bool Parser::modifierValue(std::string& value) {
    const Token& t = peek();
    if (t.kind == Tok::String) {
        while (peek().kind == Tok::String) value += take().text;
        return true;
    }
    if (t.punct("-") && (peek(1).kind == Tok::Int || peek(1).kind == Tok::Float)) {
        take();
        value = "-" + take().text;
        return true;
    }
    if (t.kind == Tok::Int || t.kind == Tok::Float || t.kind == Tok::Char) {
        value = take().text;
        return true;
    }
    if (t.kind == Tok::Ident || t.punct("::")) {
        if (t.punct("::")) {
            take();
            value = "::";
        }
        if (peek().kind != Tok::Ident) {
            expectedBefore("identifier");
            return false;
        }
        value += take().text;
        while (peek().punct("::") && peek(1).kind == Tok::Ident) {
            take();
            value += "::" + take().text;
        }
        return true;
    }
    expectedBefore("modifier value");
    return false;
}

// ---- types, names, declarators -------------------------------------------------------------

bool Parser::scopedName(ScopedName& n) {
    n.loc = peek().loc;
    if (accept("::")) n.absolute = true;
    do {
        std::string part;
        Loc at;
        if (!expectIdent(part, at)) return false;
        n.parts.push_back(part);
    } while (accept("::"));
    return true;
}

bool Parser::typeSpec(TypeSpec& t, bool allowVoid) {
    const Token& tok = peek();
    t.loc = tok.loc;
    if (tok.punct("::")) {
        t.kind = TypeSpec::Named;
        return scopedName(t.name);
    }
    if (tok.kind != Tok::Ident) {
        expectedBefore("type");
        return false;
    }
    std::string w = tok.text;
    if (w == "void") {
        take();
        if (!allowVoid) {
            diag_.error(t.loc, "'void' is only allowed as the result of an operation");
            return false;
        }
        t.kind = TypeSpec::Basic;
        t.basic = "void";
        return true;
    }
    if (kavc::startsBaseType(w)) {
        // The longest keyword spelling: "unsigned long long" before "unsigned long".
        take();
        t.kind = TypeSpec::Basic;
        t.basic = w;
        while (peek().kind == Tok::Ident && kavc::startsBaseType(t.basic + " " + peek().text))
            t.basic += " " + take().text;
        const kavc::BaseType* b = kavc::findBaseType(t.basic);
        if (!b) {
            expectedBefore(quote(t.basic == "unsigned" ? "long" : "type"));
            return false;
        }
        if (b->kind == kavtTkString || b->kind == kavtTkWString) {
            t.kind = TypeSpec::String;
            return stringBound(t);
        }
        if (b->kind == kavtTkFixed && accept("<")) {  // fixed<digits, scale>; bare only in constants
            ++angles_;
            t.bound = expression();
            bool ok = t.bound && expect(",") && (t.scale = expression()) != nullptr;
            --angles_;
            return ok && closeAngle();
        }
        return true;
    }
    if (w == "sequence") {
        take();
        t.kind = TypeSpec::Sequence;
        if (!expect("<") || !enter()) return false;
        t.element = std::make_unique<TypeSpec>();
        ++angles_;
        bool ok = typeSpec(*t.element, false);
        if (ok && accept(",")) {
            t.bound = expression();
            ok = t.bound != nullptr;
        }
        --angles_;
        leave();
        return ok && closeAngle();
    }
    if (isReserved(w)) {
        expectedBefore("type");
        return false;
    }
    t.kind = TypeSpec::Named;
    return scopedName(t.name);
}

// The optional <N> of string<N> and wstring<N>.
bool Parser::stringBound(TypeSpec& t) {
    if (!accept("<")) return true;
    ++angles_;
    t.bound = expression();
    --angles_;
    return t.bound && closeAngle();
}

bool Parser::declarator(Declarator& d) {
    if (!expectIdent(d.name, d.loc)) return false;
    while (accept("[")) {
        auto dim = expression();
        if (!dim || !expect("]")) return false;
        d.dims.push_back(std::move(dim));
    }
    return true;
}

bool Parser::declarators(std::vector<Declarator>& out) {
    do {
        Declarator d;
        if (!declarator(d)) return false;
        out.push_back(std::move(d));
    } while (accept(","));
    return true;
}

// ---- constant expressions -----------------------------------------------------------------

std::unique_ptr<Expr> Parser::expression() {
    if (!enter()) return nullptr;
    auto e = binary(0);
    leave();
    return e;
}

std::unique_ptr<Expr> Parser::binary(int level) {
    static const std::vector<std::vector<const char*>> levels = {
        {"|"}, {"^"}, {"&"}, {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};
    if (level == static_cast<int>(levels.size())) return unary();
    auto lhs = binary(level + 1);
    while (lhs) {
        const char* op = nullptr;
        for (const char* candidate : levels[level])
            if (peek().punct(candidate) && !(angles_ > 0 && std::string(candidate) == ">>")) op = candidate;
        if (!op) break;
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Binary;
        e->loc = take().loc;
        e->text = op;
        e->lhs = std::move(lhs);
        e->rhs = binary(level + 1);
        if (!e->rhs) return nullptr;
        lhs = std::move(e);
    }
    return lhs;
}

std::unique_ptr<Expr> Parser::unary() {
    const Token& t = peek();
    if (t.punct("-") || t.punct("+") || t.punct("~")) {
        if (!enter()) return nullptr;
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Unary;
        e->loc = t.loc;
        e->text = take().text;
        e->lhs = unary();
        leave();
        return e->lhs ? std::move(e) : nullptr;
    }
    return primary();
}

std::unique_ptr<Expr> Parser::primary() {
    const Token& t = peek();
    auto e = std::make_unique<Expr>();
    e->loc = t.loc;
    switch (t.kind) {
        case Tok::Int: {
            e->kind = Expr::Int;
            std::string text = take().text;
            errno = 0;
            e->intValue = std::strtoull(text.c_str(), nullptr, 0);
            if (errno == ERANGE) {
                diag_.error(e->loc, "integer constant is too large");
                return nullptr;
            }
            return e;
        }
        case Tok::Float:
        case Tok::Fixed:
            e->kind = t.kind == Tok::Fixed ? Expr::Fixed : Expr::Float;
            e->floatValue = std::strtod(take().text.c_str(), nullptr);
            return e;
        case Tok::String:
            e->kind = Expr::String;
            e->wide = t.wide;
            while (peek().kind == Tok::String) {
                if (peek().wide != e->wide) {
                    diag_.error(peek().loc, "a wide and a narrow string cannot be joined");
                    return nullptr;
                }
                e->text += take().text;
            }
            return e;
        case Tok::Char:
            e->kind = Expr::Char;
            e->wide = t.wide;
            e->text = take().text;
            return e;
        default: break;
    }
    if (t.ident("TRUE") || t.ident("FALSE")) {
        e->kind = Expr::Bool;
        e->intValue = take().text == "TRUE";
        return e;
    }
    if (t.punct("(")) {
        take();
        if (!enter()) return nullptr;
        auto inner = binary(0);
        leave();
        if (!inner || !expect(")")) return nullptr;
        return inner;
    }
    if ((t.kind == Tok::Ident && !isReserved(t.text)) || t.punct("::")) {
        e->kind = Expr::Name;
        if (!scopedName(e->name)) return nullptr;
        return e;
    }
    expectedBefore("expression");
    return nullptr;
}

}  // namespace kc
