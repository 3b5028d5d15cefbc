// Recursive-descent parser: preprocessed tokens to the syntax tree. Syntax errors are
// reported and the parser goes on at the next declaration.
#pragma once

#include "kc/ast.h"
#include "kc/preprocessor.h"

#include <set>

namespace kc {

inline constexpr int maxNesting = 256;  // modules, expressions, types: deeper input is refused
// Operators stacked in one constant expression (1 + 1 + ... is a chain as deep as it is long):
// the tree is walked and freed by recursion, so its height is bounded.
inline constexpr int maxExpressionHeight = 1000;

class Parser {
  public:
    Parser(Preprocessor& pp, Diagnostics& diag) : pp_(pp), diag_(diag), ring_(16), mask_(ring_.size() - 1) {}

    Specification parse();

  private:
    using DeclList = SparseList<std::unique_ptr<Decl>>;

    // Asked several times for every token: always inlined, whatever the caller's size.
    [[gnu::always_inline]] const Token& peek(size_t ahead = 0) { return ahead < ahead_ ? slot(ahead) : lookAhead(ahead); }
    const Token& lookAhead(size_t ahead);
    Token& slot(size_t ahead) { return ring_[(head_ + ahead) & mask_]; }
    void growRing();
    void dropRetired();
    Token take();
    // The next token's text, taken: what most callers keep of a token.
    std::string takeText();
    void takeText(std::string& into);  // the same, moved straight into `into`
    // take() without the token; inlined where it is called, after a look at the token as a rule
    [[gnu::always_inline]] void skip();
    void takeParams(SparseList<Param>& out);
    // Inlined, so that the punctuator's code is a constant.
    [[gnu::always_inline]] bool accept(const char* punct) {
        if (!peek().punct(punct)) return false;
        skip();
        return true;
    }
    [[gnu::always_inline]] bool expect(const char* punct) { return accept(punct) || expected(punct); }
    bool expected(const char* punct);  // false, after the message
    bool expectKeyword(const char* word);
    bool expectIdent(std::string& name, Loc& at);
    void expectedBefore(const std::string& what);
    bool closeAngle();
    void recover();
    bool enter();
    void leave() { --depth_; }

    enum class Body { Module, Interface, Value };  // what a definition list stands in

    void definitions(DeclList& out, Body body, bool topLevel);
    bool definition(DeclList& out, Body body);
    // Inlined: most declarations have no annotation.
    [[gnu::always_inline]] bool skipAnnotations() { return !peek().punct("@") || readAnnotations(); }
    bool readAnnotations();
    bool skipBracketed();
    size_t afterScopedName(size_t i);
    bool startsClass(size_t& prefixWords);
    bool misspeltKeyword(Body body);
    bool module(DeclList& out);
    bool classDecl(DeclList& out);
    bool component(DeclList& out);
    bool home(DeclList& out);
    bool stateMember(DeclList& out);
    bool factory(DeclList& out, const char* keyword);
    bool repositoryId(DeclList& out);
    bool importDecl(DeclList& out);
    bool scopedNames(SparseList<ScopedName>& out);
    bool typeDeclaration(DeclList& out);
    std::unique_ptr<Decl> constructedType();
    bool typedefDecl(DeclList& out);
    bool constDecl(DeclList& out);
    bool attribute(DeclList& out);
    bool operation(DeclList& out);
    bool implementation(DeclList& out);
    bool implStatement(ImplStmt& s);
    bool members(SparseList<Member>& out);
    bool member(Member& m);
    bool modifier(Modifier& m);
    bool modifierValue(std::string& value);
    bool typeSpec(TypeSpec& t, bool allowVoid);
    bool stringBound(TypeSpec& t);
    bool scopedName(ScopedName& n);
    bool declarator(Declarator& d);
    bool declarators(SparseList<Declarator>& out);
    bool startsType(const Token& t) const;

    std::unique_ptr<Expr> expression();
    std::unique_ptr<Expr> binary(int level);
    std::unique_ptr<Expr> unary();
    std::unique_ptr<Expr> primary();

    Preprocessor& pp_;
    Diagnostics& diag_;
    // The tokens looked ahead at: ahead_ of them from ring_[head_] on, in a ring whose slots
    // are reused (a token's text keeps its storage). A ring that grows is copied and kept
    // until the next token is taken, so a token from peek() stays valid until then.
    std::vector<Token> ring_;  // a power of two of slots
    size_t mask_;              // its size - 1
    size_t head_ = 0;
    size_t ahead_ = 0;
    std::vector<std::vector<Token>> retired_;
    Loc prevEnd_;
    size_t taken_ = 0;  // tokens consumed: recovery always moves on
    int depth_ = 0;
    int angles_ = 0;  // inside string<...> / sequence<...>: '>>' closes, it does not shift
    bool reportedEnd_ = false;
    bool inImplementation_ = false;  // names there are the host's as written: no escapes
    DeclList* hoist_ = nullptr;      // where a type declared inside a member goes
    std::vector<Param> params_;      // the parameters of the operation being read
    std::set<std::string> annotationsWarned_;  // the annotation names a warning was given for
};

// Reserved words of the language: not usable as declared names.
bool isReserved(const std::string& word);

}  // namespace kc
