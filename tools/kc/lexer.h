// Tokens of IDL source text.
#pragma once

#include "kc/diagnostics.h"

#include <string>

namespace kc {

enum class Tok {
    Ident,
    Int,     // text: the spelling
    Float,   // text: the spelling
    Fixed,   // text: the spelling without its 'd' (1.5d)
    String,  // text: the value, escapes decoded
    Char,    // text: the value (one character)
    Punct,   // text: the spelling ("::", "<<", "{", ...)
    Hash,    // '#' first on its line: a preprocessing directive follows
    End,
};

struct Token {
    Tok kind = Tok::End;
    std::string text;
    Loc loc;
    bool startsLine = false;  // first token of its line
    bool wide = false;        // String, Char: written L"..." or L'x'

    bool is(Tok k, const char* spelling) const { return kind == k && text == spelling; }
    bool punct(const char* spelling) const { return is(Tok::Punct, spelling); }
    bool ident(const char* spelling) const { return is(Tok::Ident, spelling); }
};

// How a token reads in a message: 'x', "string constant", "end of input".
std::string describe(const Token& t);

class Lexer {
  public:
    // Lexes `text`; positions count from `origin` (line and column of its first character).
    Lexer(Diagnostics& diag, std::string text, Loc origin);

    Token next();  // its loc spans the token's columns (a token continued over lines: 0)
    // True when no token is left on the current line (a directive ends there).
    bool atLineEnd();
    // In an #include line: when the rest of the line starts with '<', reads up to '>'.
    // Returns 0 when there is no '<', 1 with the name, -1 after reporting a missing '>'.
    int headerName(std::string& name, Loc& at);
    // Inside a skipped conditional block: unterminated strings are not reported.
    void setSkipping(bool on) { skipping_ = on; }

  private:
    char peek(size_t ahead = 0) const;
    void advance();
    bool token(Token& t);
    void skipSpace(bool& sawNewline, bool stopAtNewline = false);
    void number(Token& t);
    void quoted(Token& t, char close);
    int escape(bool wide);
    int hexEscape(int maxDigits);

    Diagnostics& diag_;
    std::string text_;
    size_t pos_ = 0;
    Loc here_;
    bool lineStart_ = true;
    bool skipping_ = false;
};

}  // namespace kc
