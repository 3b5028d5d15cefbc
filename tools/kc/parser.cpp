#include "kc/parser.h"

#include "kavc/base_types.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <unordered_set>

namespace kc {

namespace {

// True when `words` is a base type's keyword spelling or its first words ("unsigned",
// "long long"), as kavc::startsBaseType says, from every such beginning gathered once. A
// single word's answer is in its token (baseTypeStart): this is for the longer spellings.
bool startsBaseType(std::string_view words) {
    static const std::unordered_set<std::string_view> starts = [] {
        std::unordered_set<std::string_view> all;
        for (const kavc::BaseType& b : kavc::baseTypes) {
            if (!b.keyword) continue;
            std::string_view idl = b.idl;
            for (size_t blank = 0; blank != std::string_view::npos; blank = idl.find(' ', blank + 1))
                if (blank) all.insert(idl.substr(0, blank));
            all.insert(idl);
        }
        return all;
    }();
    return starts.count(words) != 0;
}

// kavc::findBaseType with the spellings' lengths known: the parser asks it for every base
// type it reads.
const kavc::BaseType* findBaseType(std::string_view spelling) {
    static constexpr auto spellings = [] {
        std::array<std::string_view, std::size(kavc::baseTypes)> all{};
        for (size_t i = 0; i < all.size(); ++i) all[i] = kavc::baseTypes[i].idl;
        return all;
    }();
    for (size_t i = 0; i < spellings.size(); ++i)
        if (spellings[i] == spelling) return &kavc::baseTypes[i];
    return nullptr;
}

}  // namespace

bool isReserved(const std::string& word) { return wordFlags(word) & reservedWord; }

// ---- tokens ------------------------------------------------------------------------------

// Messages about a token wait until the parser takes it: the preprocessor's, made while the
// parser looks ahead, and the parser's own, which may point before the preprocessor's (after
// the token before), are printed in the order of their positions.
const Token& Parser::lookAhead(size_t ahead) {
    while (ahead_ <= ahead) {
        if (ahead_ > mask_) growRing();  // the ring is full: its size is mask_ + 1
        diag_.lookAhead(static_cast<std::int64_t>(taken_ + ahead_));
        pp_.next(slot(ahead_));
        ++ahead_;
    }
    // The free slots are filled while here with the plain tokens that follow: reading them
    // reports nothing, so no message comes earlier than it would.
    while (ahead_ <= mask_ && pp_.nextPlain(slot(ahead_))) ++ahead_;
    diag_.lookAhead(static_cast<std::int64_t>(taken_));
    return slot(ahead);
}

void Parser::growRing() {
    std::vector<Token> larger(ring_.size() * 2);
    for (size_t i = 0; i < ahead_; ++i) larger[i] = slot(i);
    retired_.push_back(std::move(ring_));
    ring_ = std::move(larger);
    mask_ = ring_.size() - 1;
    head_ = 0;
}

// Out of line: taking a token then needs no registers saved.
[[gnu::noinline]] void Parser::dropRetired() { retired_.clear(); }

inline void Parser::skip() {
    const Token& t = peek();
    if (t.kind != Tok::End) {
        prevEnd_ = t.loc;
        prevEnd_.col += t.loc.width;
        prevEnd_.width = 0;
    }
    head_ = (head_ + 1) & mask_;
    --ahead_;
    if (!retired_.empty()) [[unlikely]] dropRetired();
    ++taken_;
    diag_.settle(static_cast<std::int64_t>(taken_));
}

Token Parser::take() {
    Token t = std::move(const_cast<Token&>(peek()));
    skip();  // reads only the kind and place, which a move leaves
    return t;
}

std::string Parser::takeText() {
    std::string text = std::move(const_cast<Token&>(peek()).text);
    skip();
    return text;
}

void Parser::takeText(std::string& into) {
    into = std::move(const_cast<Token&>(peek()).text);
    skip();
}


// The parameters gathered in params_, moved to `out` in one allocation of their number: they
// are held until their class is built.
void Parser::takeParams(SparseList<Param>& out) {
    out.assign(std::make_move_iterator(params_.begin()), std::make_move_iterator(params_.end()));
    params_.clear();
}

// "expected X before Y", at Y; a missing punctuator that Y on a later line shows missing is
// placed after the previous token instead (where the ';' goes).
void Parser::expectedBefore(const std::string& what) {
    const Token& t = peek();
    if (t.kind == Tok::End) {
        if (!reportedEnd_) diag_.error(prevEnd_.file >= 0 ? prevEnd_ : t.loc, "expected " + what + " at end of input");
        reportedEnd_ = true;
        return;
    }
    bool punctuator = what.size() > 2 && what[0] == '\'' && !std::isalpha(static_cast<unsigned char>(what[1]));
    bool laterLine = punctuator && prevEnd_.file >= 0 && (t.loc.file != prevEnd_.file || t.loc.line > prevEnd_.line);
    diag_.error(laterLine ? prevEnd_ : t.loc, "expected " + what + " before " + describe(t));
}

bool Parser::expected(const char* punct) {
    expectedBefore(quote(punct));
    return false;
}

bool Parser::expectKeyword(const char* word) {
    if (peek().ident(word)) {
        skip();
        return true;
    }
    expectedBefore(quote(word));
    return false;
}

bool Parser::expectIdent(std::string& name, Loc& at) {
    const Token& t = peek();
    if (t.kind == Tok::Ident && !t.reserved()) {
        at = t.loc;
        takeText(name);
        if (!inImplementation_ && name[0] == '_') {
            // An escaped identifier: `_interface` is the name `interface`, never a keyword.
            name.erase(0, 1);
            if (name.empty() || name[0] == '_' || std::isdigit(static_cast<unsigned char>(name[0]))) {
                diag_.error(at, "an identifier begins with a letter ('_' only escapes one)");
                return false;
            }
        }
        return true;
    }
    expectedBefore("identifier");
    return false;
}

bool Parser::closeAngle() {
    Token& t = const_cast<Token&>(peek());
    if (t.punct(">")) {
        skip();
        return true;
    }
    if (t.punct(">>")) {  // sequence<sequence<long>>: the first '>' closes this one
        t.setPunct(">");
        t.loc.col += 1;
        t.loc.width = 1;
        prevEnd_ = t.loc;
        prevEnd_.width = 0;
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
                skip();
                accept(";");
                return;
            }
        } else if (t.punct(";") && braces == 0) {
            skip();
            return;
        }
        skip();
    }
}

// ---- annotations ---------------------------------------------------------------------------

// IDL 4 annotations mean nothing to the object model: an application (`@key`, `@id(3)`,
// `@range(min = 0, max = 9)`) before a declaration, enumerator, union case, parameter or type
// (a member's too) is read and left out, with one warning for each annotation name; an
// annotation's definition (`@annotation Name { ... };`) is read and left out without one.
// False after a message for a malformed one.
bool Parser::readAnnotations() {
    while (peek().punct("@")) {
        Loc at = peek().loc;
        skip();
        const bool definition = peek().ident("annotation") && peek(1).kind == Tok::Ident && peek(2).punct("{");
        std::string name;
        if (accept("::")) name = "::";
        for (;;) {  // a scoped name whose parts may be keywords: @default, @oneway
            if (peek().kind != Tok::Ident) {
                expectedBefore("annotation name");
                return false;
            }
            name += takeText();
            if (definition || !accept("::")) break;
            name += "::";
        }
        if (prevEnd_.file == at.file && prevEnd_.line == at.line) at.width = prevEnd_.col - at.col;  // '@' and the name
        if (definition) skip();  // the defined annotation's name
        if ((definition || peek().punct("(")) && !skipBracketed()) return false;
        if (definition) {
            if (!expect(";")) return false;
        } else if (annotationsWarned_.insert(name).second) {
            diag_.warning(at, "annotation '@" + name + "' ignored: the object model has no place for it",
                          Group::ignoredAnnotations);
        }
    }
    return true;
}

// From the '(' or '{' here past the bracket that closes it; the nesting is counted, not
// recursed into. False after a message when the input ends first or a bracket closes the
// wrong kind.
bool Parser::skipBracketed() {
    std::vector<bool> parens;  // the brackets open: true for '('
    do {
        const Token& t = peek();
        const bool opens = t.punct("(") || t.punct("{"), closes = t.punct(")") || t.punct("}");
        if (t.kind == Tok::End || (closes && parens.back() != t.punct(")"))) {
            expectedBefore(parens.back() ? "')'" : "'}'");
            return false;
        }
        if (opens) parens.push_back(t.punct("("));
        if (closes) parens.pop_back();
        skip();
    } while (!parens.empty());
    return true;
}

// ---- declarations --------------------------------------------------------------------------

Specification Parser::parse() {
    Specification spec;
    diag_.settle(0);
    definitions(spec.decls, Body::Module, true);
    diag_.stopOrdering();
    return spec;
}

void Parser::definitions(DeclList& out, Body body, bool topLevel) {
    for (;;) {
        const Token& t = peek();
        if (t.kind == Tok::End) {
            if (!topLevel) expectedBefore("'}'");
            return;
        }
        if (t.punct("}")) {
            if (!topLevel) return;
            diag_.error(t.loc, "expected declaration before '}'");
            skip();
            continue;
        }
        if (t.punct(";")) {  // a stray ';' between declarations is harmless
            skip();
            continue;
        }
        size_t before = taken_;
        hoist_ = &out;  // types declared inside a member go before the declaration holding them
        if (!skipAnnotations() || !definition(out, body)) {
            recover();
            if (taken_ == before && peek().kind != Tok::End && !peek().punct("}")) skip();  // always move on
        }
    }
}

namespace {

const char* bodyName(int body) { return body == 1 ? "an interface" : body == 2 ? "a valuetype" : "a module"; }

}  // namespace

// The index of the token after a scoped name that starts at `i` (i itself when there is none).
size_t Parser::afterScopedName(size_t i) {
    if (peek(i).punct("::")) ++i;
    while (peek(i).kind == Tok::Ident) {
        if (!peek(i + 1).punct("::")) return i + 1;
        i += 2;
    }
    return i;
}

// interface, valuetype, eventtype, component or home, after its optional prefix word.
bool Parser::startsClass(size_t& prefixWords) {
    const Token& t = peek();
    prefixWords = (t.ident("abstract") || t.ident("local") || t.ident("custom")) ? 1 : 0;
    const Token& k = peek(prefixWords);
    if (k.ident("interface") || k.ident("valuetype")) return true;
    // CORBA 3 words: keywords only where their declaration can start
    if (k.ident("eventtype")) return peek(prefixWords + 1).kind == Tok::Ident;
    if (prefixWords) return false;
    if (k.ident("component") || k.ident("home"))
        return peek(1).kind == Tok::Ident &&
               (peek(2).punct(";") || peek(2).punct(":") || peek(2).punct("{") || peek(2).ident("supports") ||
                peek(2).ident("manages"));
    return false;
}

bool Parser::definition(DeclList& out, Body body) {
    const Token& t = peek();
    bool inClass = body != Body::Module;
    if (t.kind == Tok::Ident) {
        // (An operation that returns a type of one of these names has '(' after its name.)
        if ((t.ident("bitmask") || t.ident("bitset")) && peek(1).kind == Tok::Ident &&
            (peek(2).punct("{") || peek(2).punct(":"))) {
            diag_.error(peek(1).loc, "IDL 4's " + t.text + " " + quote(peek(1).text) +
                                         " has no type in the object model; declare an enum or unsigned constants "
                                         "instead");
            return false;
        }
        size_t prefix = 0;
        if (t.ident("module") || startsClass(prefix)) {
            if (inClass) {
                std::string what = t.ident("module") ? "module" : peek(prefix).text;
                diag_.error(t.loc, std::string(std::string("aeiou").find(what[0]) != std::string::npos ? "an " : "a ") +
                                       what + " cannot be declared inside " + bodyName(static_cast<int>(body)));
                return false;
            }
            if (t.ident("module")) return module(out);
            const Token& k = peek(prefix);
            if (k.ident("component")) return component(out);
            if (k.ident("home")) return home(out);
            return classDecl(out);
        }
        if (t.ident("typedef") || t.ident("struct") || t.ident("union") || t.ident("enum") || t.ident("const") ||
            t.ident("exception") || t.ident("native"))
            return typeDeclaration(out);
        if ((t.ident("typeid") || t.ident("typeprefix")) && peek(afterScopedName(1)).kind == Tok::String)
            return repositoryId(out);
        if (t.ident("import") && (peek(1).kind == Tok::String || peek(afterScopedName(1)).punct(";")))
            return importDecl(out);
        // (The section's keyword spelt right is no misspelling of another: no spelling
        // distances are measured for it.)
        if (inClass && t.ident("implementation") && peek(1).punct("{")) return implementation(out);
        if (!t.reserved() && misspeltKeyword(body)) return false;  // a keyword is spelt right
        if (inClass) {
            if (t.ident("attribute") || t.ident("readonly")) return attribute(out);
            if (body == Body::Value && (t.ident("public") || t.ident("private"))) return stateMember(out);
            if (body == Body::Value && t.ident("factory")) return factory(out, "factory");
            if (t.ident("oneway") || startsType(t) || t.ident("void")) return operation(out);
        }
    } else if (inClass && t.punct("::")) {
        return operation(out);
    }
    expectedBefore("declaration");
    return false;
}

// A word where a declaration starts that is no keyword but close to one (`interfce A {`,
// `implementaton {`): reported as the keyword it misspells. In an interface a word may also
// be a type name starting an operation, so only a shape no operation has counts there: the
// word followed by '{' or by a reserved word.
bool Parser::misspeltKeyword(Body body) {
    static const std::vector<std::string_view> moduleWords = {
        "module", "interface", "valuetype", "eventtype", "abstract", "local", "custom", "typedef", "struct",
        "union", "enum", "const", "exception", "native", "typeid", "typeprefix", "import"};
    static const std::vector<std::string_view> classWords = {
        "attribute", "readonly", "oneway", "implementation", "typedef", "struct", "union", "enum", "const",
        "exception", "native", "factory", "public", "private"};
    const Token& t = peek();
    if (t.reserved() || (body == Body::Module && (t.ident("component") || t.ident("home")))) return false;
    if (body != Body::Module) {
        const Token& after = peek(1);
        if (!after.punct("{") && !after.reserved()) return false;
    }
    std::string best = closestSpelling(t.text, body == Body::Module ? moduleWords : classWords);
    if (best.empty()) return false;
    diag_.error(t.loc, "unknown keyword " + quote(t.text) + "; did you mean " + quote(best) + "?");
    return true;
}

bool Parser::module(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Module;
    skip();
    if (!expectIdent(d->name, d->loc) || !expect("{")) return false;
    if (!enter()) return false;
    Decl* m = d.get();
    out.push_back(std::move(d));
    definitions(m->body, Body::Module, false);
    leave();
    return expect("}") && expect(";");
}

bool Parser::scopedNames(SparseList<ScopedName>& out) {
    do {
        ScopedName n;
        if (!scopedName(n)) return false;
        out.push_back(std::move(n));
    } while (accept(","));
    return true;
}

// [abstract|local|custom] interface|valuetype|eventtype Name: a forward declaration, a value
// box or a definition.
bool Parser::classDecl(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Interface;
    for (;;) {
        std::string w = takeText();
        if (w == "abstract") d->detail().isAbstract = true;
        else if (w == "local") d->detail().isLocal = true;
        else if (w == "custom") d->detail().isCustom = true;
        else {
            d->keyword = declKeyword(w);
            break;
        }
    }
    bool value = d->keyword != "interface";
    if (!expectIdent(d->name, d->loc)) return false;
    if (accept(";")) {
        d->kind = Decl::Forward;
        out.push_back(std::move(d));
        return true;
    }
    if (value && !peek().punct(":") && !peek().punct("{") && !peek().ident("supports")) {
        // valuetype Name Type;  a value box
        if (d->detail().isAbstract || d->detail().isCustom || d->keyword == "eventtype") {
            diag_.error(d->loc, "a value box cannot be abstract, custom or an eventtype");
            return false;
        }
        d->detail().boxed = true;
        if (!typeSpec(d->type, false)) return false;
        out.push_back(std::move(d));
        return expect(";");
    }
    if (accept(":")) {
        if (value && peek().ident("truncatable")) {
            skip();
            d->detail().truncatable = true;
        }
        if (!scopedNames(d->detail().parents)) return false;
    }
    if (value && peek().ident("supports")) {
        skip();
        if (!scopedNames(d->detail().supports)) return false;
    }
    if (!expect("{")) return false;
    Decl* i = d.get();
    out.push_back(std::move(d));
    definitions(i->body, value ? Body::Value : Body::Interface, false);
    return expect("}") && expect(";");
}

// component Name [: Base] [supports I, ...] { ports and attributes };
bool Parser::component(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Component;
    skip();
    if (!expectIdent(d->name, d->loc)) return false;
    if (accept(";")) {
        d->kind = Decl::Forward;
        d->keyword = "component";
        out.push_back(std::move(d));
        return true;
    }
    if (accept(":") && !scopedNames(d->detail().parents)) return false;
    if (peek().ident("supports")) {
        skip();
        if (!scopedNames(d->detail().supports)) return false;
    }
    if (!expect("{")) return false;
    while (!accept("}")) {
        const Token& t = peek();
        if (t.kind == Tok::End) {
            expectedBefore("'}'");
            return false;
        }
        if (t.ident("attribute") || t.ident("readonly")) {
            if (!attribute(d->body)) return false;
            continue;
        }
        static const char* const ports[] = {"provides", "uses", "emits", "publishes", "consumes"};
        bool port = false;
        for (const char* p : ports) port |= t.ident(p);
        if (!port) {
            expectedBefore("'provides', 'uses', 'emits', 'publishes', 'consumes' or 'attribute'");
            return false;
        }
        auto p = std::make_unique<Decl>();
        p->kind = Decl::Port;
        p->keyword = declKeyword(takeText());
        if (p->keyword == "uses" && peek().ident("multiple") && peek(1).kind == Tok::Ident &&
            !peek(1).punct("::") && (peek(2).kind == Tok::Ident || peek(2).punct("::"))) {
            skip();
            p->detail().multiple = true;
        }
        if (!typeSpec(p->type, false) || !expectIdent(p->name, p->loc) || !expect(";")) return false;
        d->body.push_back(std::move(p));
    }
    out.push_back(std::move(d));
    return expect(";");
}

// home Name [: Base] [supports I, ...] manages Component [primarykey Key] { ... };
bool Parser::home(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Home;
    skip();
    if (!expectIdent(d->name, d->loc)) return false;
    if (accept(":") && !scopedNames(d->detail().parents)) return false;
    if (peek().ident("supports")) {
        skip();
        if (!scopedNames(d->detail().supports)) return false;
    }
    if (!expectKeyword("manages") || !scopedName(*(d->detail().target = std::make_unique<ScopedName>()))) return false;
    if (peek().ident("primarykey")) {
        skip();
        if (!typeSpec(d->type, false)) return false;
    }
    if (!expect("{")) return false;
    Decl* h = d.get();
    out.push_back(std::move(d));
    while (!peek().punct("}")) {
        if (peek().kind == Tok::End) {
            expectedBefore("'}'");
            return false;
        }
        size_t before = taken_;
        hoist_ = &h->body;
        bool ok = (peek().ident("factory") || peek().ident("finder")) ? factory(h->body, peek().text.c_str())
                                                                      : definition(h->body, Body::Interface);
        if (!ok) {
            recover();
            if (taken_ == before && peek().kind != Tok::End && !peek().punct("}")) skip();
        }
    }
    skip();
    return expect(";");
}

// public|private Type declarators;
bool Parser::stateMember(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::State;
    d->loc = peek().loc;
    d->detail().isPublic = takeText() == "public";
    if (!typeSpec(d->type, false) || !declarators(d->detail().declarators)) return false;
    d->name = d->detail().declarators.front().name;
    out.push_back(std::move(d));
    return expect(";");
}

// factory|finder Name(in T p, ...) [raises(...)];
bool Parser::factory(DeclList& out, const char* keyword) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Factory;
    d->keyword = declKeyword(keyword);
    skip();
    if (!expectIdent(d->name, d->loc) || !expect("(")) return false;
    if (!accept(")")) {
        params_.clear();  // what a failed operation left
        do {
            if (!skipAnnotations()) return false;
            Param& p = params_.emplace_back();
            p.loc = peek().loc;
            if (!expectKeyword("in") || !typeSpec(p.type, false) || !declarator(p.declarator)) return false;
        } while (accept(","));
        takeParams(d->params);
        if (!expect(")")) return false;
    }
    if (peek().ident("raises")) {
        skip();
        if (!expect("(") || !scopedNames(d->raises) || !expect(")")) return false;
    }
    out.push_back(std::move(d));
    return expect(";");
}

// typeid Name "id";  typeprefix Name "prefix";
bool Parser::repositoryId(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = peek().ident("typeid") ? Decl::TypeId : Decl::TypePrefix;
    d->loc = take().loc;
    if (!scopedName(*(d->detail().target = std::make_unique<ScopedName>()))) return false;
    d->detail().text = takeText();  // the string, checked by the caller's look-ahead
    out.push_back(std::move(d));
    return expect(";");
}

// import Name;  import "repository id";
bool Parser::importDecl(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Import;
    d->loc = take().loc;
    if (peek().kind == Tok::String) {
        d->detail().text = takeText();
    } else if (!scopedName(*(d->detail().target = std::make_unique<ScopedName>()))) {
        return false;
    }
    out.push_back(std::move(d));
    return expect(";");
}

bool Parser::typeDeclaration(DeclList& out) {
    const Token& t = peek();
    if (t.ident("typedef")) return typedefDecl(out);
    if (t.ident("const")) return constDecl(out);
    if (t.ident("native")) {
        auto d = std::make_unique<Decl>();
        d->kind = Decl::Native;
        skip();
        if (!expectIdent(d->name, d->loc)) return false;
        out.push_back(std::move(d));
        return expect(";");
    }
    if ((t.ident("struct") || t.ident("union")) && peek(1).kind == Tok::Ident && peek(2).punct(";")) {
        auto d = std::make_unique<Decl>();  // struct X;  union X;
        d->kind = Decl::Forward;
        d->keyword = declKeyword(takeText());
        if (!expectIdent(d->name, d->loc)) return false;
        out.push_back(std::move(d));
        return expect(";");
    }
    std::unique_ptr<Decl> d = constructedType();
    if (!d) return false;
    out.push_back(std::move(d));
    return expect(";");
}

// struct, exception, union or enum up to its closing '}'.
std::unique_ptr<Decl> Parser::constructedType() {
    auto d = std::make_unique<Decl>();
    std::string keyword = takeText();
    if (!expectIdent(d->name, d->loc)) return nullptr;
    if (keyword == "struct" || keyword == "exception") {
        d->kind = keyword == "struct" ? Decl::Struct : Decl::Exception;
        if (keyword == "struct" && peek().punct(":")) {
            diag_.error(peek().loc, "a struct has no parent in the object model (IDL 4's struct inheritance); repeat "
                                    "the parent's members in " + quote(d->name));
            return nullptr;
        }
        if (!expect("{") || !members(d->detail().members)) return nullptr;
        if (d->kind == Decl::Struct && d->detail().members.empty()) {
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
            if (!skipAnnotations() || !expectIdent(e.first, e.second)) return nullptr;
            d->detail().enumerators.push_back(std::move(e));
        } while (accept(","));
        if (!expect("}")) return nullptr;
        return d;
    }
    d->kind = Decl::Union;
    TypeSpec& discriminator = *(d->detail().discriminator = std::make_unique<TypeSpec>());
    if (!expectKeyword("switch") || !expect("(") || !typeSpec(discriminator, false) ||
        !expect(")") || !expect("{"))
        return nullptr;
    while (!accept("}")) {
        if (!skipAnnotations()) return nullptr;
        UnionCase c;
        c.loc = peek().loc;
        for (;;) {
            if (peek().ident("case")) {
                skip();
                auto label = expression();
                if (!label || !expect(":")) return nullptr;
                c.labels.push_back(std::move(label));
            } else if (peek().ident("default")) {
                skip();
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
        d->detail().cases.push_back(std::move(c));
    }
    if (d->detail().cases.empty()) {
        diag_.error(d->loc, "union " + quote(d->name) + " has no cases");
        return nullptr;
    }
    return d;
}

bool Parser::members(SparseList<Member>& out) {
    while (!peek().punct("}")) {
        if (peek().kind == Tok::End) {
            expectedBefore("'}'");
            return false;
        }
        Member m;
        if (!member(m)) return false;
        out.push_back(std::move(m));
    }
    skip();
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
    if (!declarators(d->detail().declarators)) return false;
    d->name = d->detail().declarators.front().name;
    out.push_back(std::move(d));
    return expect(";");
}

bool Parser::constDecl(DeclList& out) {
    skip();
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Const;
    if (!typeSpec(d->type, false) || !expectIdent(d->name, d->loc) || !expect("=")) return false;
    d->detail().value = expression();
    if (!d->detail().value) return false;
    out.push_back(std::move(d));
    return expect(";");
}

bool Parser::attribute(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Attribute;
    d->loc = peek().loc;
    DeclDetail& more = d->detail();
    if (peek().ident("readonly")) {
        skip();
        more.readonly = true;
    }
    if (!expectKeyword("attribute") || !typeSpec(d->type, false)) return false;
    do {
        Declarator name;
        if (!expectIdent(name.name, name.loc)) return false;
        more.declarators.push_back(std::move(name));
    } while (accept(","));
    d->name = more.declarators.front().name;
    // The exceptions of the accessors, for an attribute of one name: `raises` of a read-only
    // one, `getraises` and `setraises` of the other.
    for (;;) {
        const Token& t = peek();
        SparseList<ScopedName>* list = nullptr;
        if (more.readonly && t.ident("raises") && more.getraises.empty()) list = &more.getraises;
        if (!more.readonly && t.ident("getraises") && more.getraises.empty() && more.setraises.empty()) list = &more.getraises;
        if (!more.readonly && t.ident("setraises") && more.setraises.empty()) list = &more.setraises;
        if (!list) break;
        if (more.declarators.size() > 1) {
            diag_.error(t.loc, quote(t.text) + " follows an attribute of one name only");
            return false;
        }
        skip();
        if (!expect("(") || !scopedNames(*list) || !expect(")")) return false;
    }
    out.push_back(std::move(d));
    return expect(";");
}

bool Parser::operation(DeclList& out) {
    auto d = std::make_unique<Decl>();
    d->kind = Decl::Operation;
    if (peek().ident("oneway")) {
        skip();
        d->oneway = true;
    }
    if (!typeSpec(d->type, true) || !expectIdent(d->name, d->loc) || !expect("(")) return false;
    if (!accept(")")) {
        params_.clear();  // what a failed operation left
        do {
            if (!skipAnnotations()) return false;
            Param& p = params_.emplace_back();
            p.loc = peek().loc;
            const Token& m = peek();
            if (m.ident("in")) p.mode = 1;
            else if (m.ident("out")) p.mode = 2;
            else if (m.ident("inout")) p.mode = 3;
            else {
                expectedBefore("'in', 'out' or 'inout'");
                return false;
            }
            skip();
            if (!typeSpec(p.type, false) || !declarator(p.declarator)) return false;
        } while (accept(","));
        takeParams(d->params);
        if (!expect(")")) return false;
    }
    if (peek().ident("raises")) {
        skip();
        if (!expect("(")) return false;
        do {
            ScopedName e;
            if (!scopedName(e)) return false;
            d->raises.push_back(std::move(e));
        } while (accept(","));
        if (!expect(")")) return false;
    }
    if (peek().ident("context")) {
        skip();
        d->detail().hasContext = true;
        if (!expect("(")) return false;
        do {
            if (peek().kind != Tok::String) {
                expectedBefore("string constant");
                return false;
            }
            d->detail().context.push_back(takeText());
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
    skip();  // '{'
    struct Within {
        bool& flag;
        explicit Within(bool& f) : flag(f) { flag = true; }
        ~Within() { flag = false; }
    } within(inImplementation_);
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
        if (!implStatement(impl->detail().impl.emplace_back())) {  // read in place: a statement is large
            impl->detail().impl.pop_back();
            // skip to the end of the statement, staying inside the section
            while (!peek().punct(";") && !peek().punct("}") && peek().kind != Tok::End) skip();
            accept(";");
            if (taken_ == before && peek().kind != Tok::End && !peek().punct("}")) skip();
        }
    }
    skip();
    return expect(";");
}

bool Parser::startsType(const Token& t) const {
    return t.kind == Tok::Ident && (t.ident("sequence") || (t.word & baseTypeStart) || !t.reserved());
}

bool Parser::implStatement(ImplStmt& s) {
    const Token& t = peek();
    s.loc = t.loc;
    if (t.ident("releaseorder") && peek(1).punct(":")) {
        s.kind = ImplStmt::ReleaseOrder;
        auto& names = s.makeRare().names;
        skip();
        skip();
        if (!peek().punct(";")) {
            do {
                std::pair<std::string, Loc> name;
                if (!expectIdent(name.first, name.second)) return false;
                names.push_back(std::move(name));
            } while (accept(","));
        }
        return expect(";");
    }
    if (t.ident("passthru") && peek(1).kind == Tok::Ident) {
        s.kind = ImplStmt::Passthru;
        ImplStmt::Rare& passthru = s.makeRare();
        skip();
        Loc at;
        if (!expectIdent(passthru.passthruName, at) || !expect("=")) return false;
        if (peek().kind != Tok::String) {
            expectedBefore("string constant");
            return false;
        }
        while (peek().kind == Tok::String) passthru.passthruText += takeText();
        return expect(";");
    }
    bool typeWord = t.reserved() && startsType(t);
    if (typeWord) {
        s.kind = ImplStmt::DataMember;
        return member(s.makeMember());
    }
    if (t.kind != Tok::Ident && !t.punct("::")) {
        expectedBefore("implementation statement");
        return false;
    }
    ScopedName head;
    if (t.kind == Tok::Ident && !t.punct("::")) {
        // a modifier statement may name anything, even a reserved word used as a method name
        head.loc = t.loc;
        head.parts.push_back(takeText());
        while (accept("::")) {
            std::string part;
            Loc at;
            if (!expectIdent(part, at)) return false;
            head.parts.push_back(std::move(part));
        }
    } else if (!scopedName(head)) {
        return false;
    }
    const Token& n = peek();
    if (n.kind == Tok::Ident) {  // Type name ...: a data member of a named type
        s.kind = ImplStmt::DataMember;
        Member& data = s.makeMember();
        data.type.kind = TypeSpec::Named;
        data.type.loc = head.loc;
        data.type.name = std::move(head);
        return declarators(data.declarators) && expect(";");
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
        return expect(";");
    }
    if (n.punct("=") || n.punct(";")) {
        s.kind = ImplStmt::ClassModifier;
        if (head.parts.size() != 1 || head.absolute) {
            diag_.error(head.loc, "a class modifier name is a simple identifier");
            return false;
        }
        Modifier& modifier = s.makeRare().modifier;
        modifier.name = head.parts[0];
        modifier.loc = head.loc;
        if (accept("=")) {
            modifier.hasValue = true;
            if (!modifierValue(modifier.value)) return false;
        }
        return expect(";");
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
    m.name = takeText();
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
        while (peek().kind == Tok::String) value += takeText();
        return true;
    }
    if (t.punct("-") && (peek(1).kind == Tok::Int || peek(1).kind == Tok::Float)) {
        skip();
        value = "-" + takeText();
        return true;
    }
    if (t.kind == Tok::Int || t.kind == Tok::Float || t.kind == Tok::Char) {
        value = takeText();
        return true;
    }
    if (t.kind == Tok::Ident || t.punct("::")) {
        if (t.punct("::")) {
            skip();
            value = "::";
        }
        if (peek().kind != Tok::Ident) {
            expectedBefore("identifier");
            return false;
        }
        value += takeText();
        while (peek().punct("::") && peek(1).kind == Tok::Ident) {
            skip();
            value += "::" + takeText();
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
        const Token& t = peek();
        if ((n.absolute || !n.parts.empty()) && t.kind == Tok::Ident && t.baseType) {
            n.parts.push_back(takeText());  // CORBA::TypeCode, CORBA::Object: predefined names
            continue;
        }
        if (!expectIdent(part, at)) return false;
        n.parts.push_back(std::move(part));
    } while (accept("::"));
    // A message about the name underlines all of it.
    if (prevEnd_.file == n.loc.file && prevEnd_.line == n.loc.line) n.loc.width = prevEnd_.col - n.loc.col;
    return true;
}

bool Parser::typeSpec(TypeSpec& t, bool allowVoid) {
    if (!skipAnnotations()) return false;  // a member's, a union element's, `in @external T p`
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
    if ((tok.ident("struct") || tok.ident("union") || tok.ident("enum")) && peek(1).kind == Tok::Ident &&
        (peek(2).punct("{") || peek(2).ident("switch"))) {
        // A type declared where it is used (a member, a union case, a switch): declared in
        // the enclosing scope, before the declaration that holds it.
        if (!hoist_ || !enter()) return false;
        std::unique_ptr<Decl> inner = constructedType();
        leave();
        if (!inner) return false;
        t.kind = TypeSpec::Named;
        t.name.parts = {inner->name};
        t.name.loc = inner->loc;
        hoist_->push_back(std::move(inner));
        return true;
    }
    if (tok.ident("void")) {
        skip();
        if (!allowVoid) {
            diag_.error(t.loc, "'void' is only allowed as the result of an operation");
            return false;
        }
        t.kind = TypeSpec::Basic;
        static const auto voidRow = static_cast<std::uint8_t>(kavc::findBaseType("void") - kavc::baseTypes + 1);
        t.baseType = voidRow;
        return true;
    }
    if (tok.word & baseTypeStart) {
        // The longest keyword spelling: "unsigned long long" before "unsigned long". Every
        // word of one is reserved, so a declared name after the type is no candidate.
        t.kind = TypeSpec::Basic;
        const kavc::BaseType* b = tok.baseType ? &kavc::baseTypes[tok.baseType - 1] : nullptr;
        if (b && !peek(1).reserved()) {
            skip();  // one word, and no keyword after it: its spelling is not needed
        } else {
            std::string spelling = takeText();
            while (peek().reserved()) {
                size_t before = spelling.size();
                spelling += ' ';
                spelling += peek().text;
                if (!startsBaseType(spelling)) {
                    spelling.resize(before);
                    break;
                }
                skip();
                b = findBaseType(spelling);
            }
            if (!b) {
                expectedBefore(quote(spelling == "unsigned" ? "long" : "type"));
                return false;
            }
        }
        t.baseType = static_cast<std::uint8_t>(b - kavc::baseTypes + 1);
        if (b->kind == kavtTkString || b->kind == kavtTkWString) {
            t.kind = TypeSpec::String;
            return stringBound(t);
        }
        if (b->kind == kavtTkFixed && accept("<")) {  // fixed<digits, scale>; bare only in constants
            ++angles_;
            TypeSpec::Parts& parts = t.addParts();
            parts.bound = expression();
            bool ok = parts.bound && expect(",") && (parts.scale = expression()) != nullptr;
            --angles_;
            return ok && closeAngle();
        }
        return true;
    }
    if (tok.ident("sequence")) {
        skip();
        t.kind = TypeSpec::Sequence;
        if (!expect("<") || !enter()) return false;
        TypeSpec::Parts& parts = t.addParts();
        parts.element = std::make_unique<TypeSpec>();
        ++angles_;
        bool ok = typeSpec(*parts.element, false);
        if (ok && accept(",")) {
            parts.bound = expression();
            ok = parts.bound != nullptr;
        }
        --angles_;
        leave();
        return ok && closeAngle();
    }
    if (tok.reserved()) {
        expectedBefore("type");
        return false;
    }
    if (tok.ident("map") && peek(1).punct("<")) {  // no declared name takes '<'
        diag_.error(tok.loc, "IDL 4's map has no type in the object model; a sequence of a struct of the key "
                             "and the value stands for one");
        return false;
    }
    t.kind = TypeSpec::Named;
    if (!scopedName(t.name)) return false;
    t.loc.width = t.name.loc.width;
    return true;
}

// The optional <N> of string<N> and wstring<N>.
bool Parser::stringBound(TypeSpec& t) {
    if (!accept("<")) return true;
    ++angles_;
    TypeSpec::Parts& parts = t.addParts();
    parts.bound = expression();
    --angles_;
    return parts.bound && closeAngle();
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

bool Parser::declarators(SparseList<Declarator>& out) {
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
        e->height = 1 + std::max(e->lhs->height, e->rhs->height);
        if (e->height > maxExpressionHeight) {
            diag_.error(e->loc, "constant expression too complex (more than " +
                                    std::to_string(maxExpressionHeight) + " nested operations)");
            return nullptr;
        }
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
        e->text = takeText();
        e->lhs = unary();
        leave();
        if (!e->lhs) return nullptr;
        e->height = 1 + e->lhs->height;
        return e;
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
            std::string text = takeText();
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
            e->floatValue = std::strtod(takeText().c_str(), nullptr);
            return e;
        case Tok::String:
            e->kind = Expr::String;
            e->wide = t.wide;
            while (peek().kind == Tok::String) {
                if (peek().wide != e->wide) {
                    diag_.error(peek().loc, "a wide and a narrow string cannot be joined");
                    return nullptr;
                }
                e->text += takeText();
            }
            return e;
        case Tok::Char:
            e->kind = Expr::Char;
            e->wide = t.wide;
            e->text = takeText();
            return e;
        default: break;
    }
    if (t.ident("TRUE") || t.ident("FALSE")) {
        e->kind = Expr::Bool;
        e->intValue = takeText() == "TRUE";
        return e;
    }
    if (t.punct("(")) {
        skip();
        if (!enter()) return nullptr;
        auto inner = binary(0);
        leave();
        if (!inner || !expect(")")) return nullptr;
        return inner;
    }
    if ((t.kind == Tok::Ident && !t.reserved()) || t.punct("::")) {
        e->kind = Expr::Name;
        if (!scopedName(e->name)) return nullptr;
        return e;
    }
    expectedBefore("expression");
    return nullptr;
}

}  // namespace kc
