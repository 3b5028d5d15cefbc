// A small C-style preprocessor over the lexer: #include, #define/#undef (object-like macros),
// #if/#ifdef/#ifndef/#elif/#else/#endif, #error, #warning, #pragma once.
#pragma once

#include "kc/diagnostics.h"
#include "kc/lexer.h"

#include <bitset>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kc {

struct PreprocessorOptions {
    std::vector<std::string> includeDirs;                     // searched after the includer's dir
    std::vector<std::pair<std::string, std::string>> defines;  // -D NAME[=VALUE]
};

// Names that stand for the built-in root classes: accepted by #include without a file.
bool isBuiltinInclude(const std::string& name);

inline constexpr int maxIncludeDepth = 64;
// What one compilation may spend: file inclusions (a file that includes itself twice would
// otherwise make 2^64 of them), bytes of included text, and macro body tokens visited while
// expanding (doubling macros would otherwise run for ever, also when they expand to nothing).
// Past a budget the rest of the input is not read.
inline constexpr long maxIncludes = 10000;
inline constexpr long long maxIncludedBytes = 256ll << 20;
inline constexpr long expansionBudget = 1l << 22;
// Tokens that one use of a macro may produce.
inline constexpr size_t expansionLimit = 100000;

class Preprocessor {
  public:
    Preprocessor(Sources& sources, Diagnostics& diag, PreprocessorOptions options);

    // Opens the main file; false (with a message) when it cannot be read.
    bool openMain(const std::string& path);
    // Starts from text in memory, named `path` in messages (tests).
    void openText(const std::string& path, const std::string& text);

    // The next token after preprocessing; Tok::End at the end of the main file.
    Token next();
    void next(Token& t);  // the same, read into t; inlined into the parser's look-ahead
    // The next token when reading it reports nothing and changes nothing else: a name that is
    // no macro or a one-character punctuator, straight from the text being read (lexer.h,
    // Lexer::nextPlain). False otherwise, and next() reads it. Lets the parser read ahead
    // without any message coming earlier than it would.
    bool nextPlain(Token& t);

  private:
    struct Conditional {
        Loc at;
        bool active;        // this branch is being read
        bool parentActive;  // the enclosing text is being read
        bool taken;         // some branch was already read
        bool seenElse;
    };
    struct Frame {
        std::unique_ptr<Lexer> lexer;
        std::string dir;
        std::vector<Conditional> conditionals;
    };
    struct Macro {
        std::vector<Token> body;
        Loc at;
        bool expanding = false;  // inside its own expansion: its name stands for itself
    };

    void push(int file, const std::string& dir);
    void refresh();
    bool nextElsewhere(Token& t);
    void directiveOrEnd(Frame& f, Token& t);
    void expandUse(const Token& use);
    bool nextOnLine(Frame& f, Token& t);
    std::vector<Token> restOfLine(Frame& f);
    bool active(const Frame& f) const { return f.conditionals.empty() || f.conditionals.back().active; }
    void directive(Frame& f, const Token& hash);
    void include(Frame& f, const Token& directiveName);
    void noteIncludeLoop(Loc at, const std::string& key);
    void define(Frame& f, const Token& directiveName);
    void checkRepositoryPragma(const std::vector<Token>& line, Loc at);
    void conditional(Frame& f, const Token& directiveName);
    bool evaluate(std::vector<Token> line, Loc at);
    void expand(const Token& use, std::vector<Token>& out);
    bool chargeExpansion(const Token& use);
    void setMacro(const std::string& name, Macro m);
    // False for most names that are no macro, without a search: no macro has the name's length
    // and first character. (#undef leaves both marks: a search then says no.) Asked of every
    // name read.
    bool mayBeMacro(const std::string& name) const {
        return macroLengths_.test(name.size() % macroLengths_.size()) && macroFirsts_.test(static_cast<unsigned char>(name[0]));
    }
    std::vector<Token> lex(const std::string& text, Loc at);

    Sources& sources_;
    Diagnostics& diag_;
    PreprocessorOptions options_;
    std::deque<Frame> frames_;  // a deque: an #include must not move the includer's frame
    std::deque<Token> expanded_;
    std::map<std::string, Macro> macros_;
    std::bitset<64> macroLengths_;  // the lengths (modulo 64) and first characters of macro names
    std::bitset<256> macroFirsts_;
    std::set<std::string> onceFiles_;
    // The place of the last token read, for the end of the input: each token's place is
    // stored straight from the lexer's answer into the slot that is not the last one, which
    // becomes the last when the token is returned (copying the place out of the token just
    // stored would wait for that store).
    Loc lastLocs_[2];
    int lastSlot_ = 0;
    long includes_ = 0;
    long long includedBytes_ = 0;
    long expansionWork_ = 0;
    bool stopped_ = false;  // a budget is spent: the input ends here
    // The lexer that gives the next token, when nothing expanded waits, the input goes on and
    // the text being read is not inside a conditional block left out; else null. Set again
    // wherever those change (refresh), so that reading a plain token asks one question.
    Lexer* reading_ = nullptr;
};

inline void Preprocessor::next(Token& t) {
    for (;;) {
        if (!reading_) [[unlikely]] {
            if (nextElsewhere(t)) return;
            continue;
        }
        reading_->next(t, lastLocs_[lastSlot_ ^ 1]);
        if (t.kind == Tok::Hash || t.kind == Tok::End) [[unlikely]] {
            directiveOrEnd(frames_.back(), t);
            continue;
        }
        lastSlot_ ^= 1;
        if (t.kind == Tok::Ident && mayBeMacro(t.text) && macros_.count(t.text)) [[unlikely]] {
            expandUse(t);
            continue;
        }
        return;
    }
}

inline bool Preprocessor::nextPlain(Token& t) {
    if (!reading_ || !reading_->nextPlain(t, lastLocs_[lastSlot_ ^ 1])) return false;
    if (t.kind == Tok::Ident && mayBeMacro(t.text) && macros_.count(t.text)) [[unlikely]] {
        reading_->unread(t);
        return false;
    }
    lastSlot_ ^= 1;
    return true;
}

// Reads a whole regular file; false with errno-style reason in `why`.
bool readFile(const std::string& path, std::string& text, std::string& why);

}  // namespace kc
