// Tokens of IDL source text.
#pragma once

#include "kc/diagnostics.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kc {

enum class Tok : std::uint8_t {
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

// What an identifier is in the language, found once when the lexer reads it: the parser
// asks these of every word it reads, often several times.
enum WordFlag : std::uint8_t {
    reservedWord = 1,   // a keyword: not usable as a declared name
    baseTypeStart = 2,  // a base type's keyword spelling starts with it ("unsigned", "long")
};

// A punctuator's one or two characters as one number: punct(";") compares no text.
constexpr std::uint16_t punctCode(const char* spelling) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(spelling[0]) |
                                      (spelling[0] ? static_cast<unsigned char>(spelling[1]) << 8 : 0));
}

struct Token {
    Tok kind = Tok::End;
    std::uint8_t word = 0;      // Ident: its WordFlags
    std::uint8_t baseType = 0;  // Ident: 1 + the row of kavc::baseTypes it spells whole ("long", "TypeCode"), or 0
    std::uint16_t code = 0;  // Punct: punctCode of its spelling
    bool startsLine = false;  // first token of its line
    bool wide = false;        // String, Char: written L"..." or L'x'
    Loc loc;
    std::string text;

    // Inlined where asked, so that the spelling is a constant: a code, or a length compared first.
    [[gnu::always_inline]] bool punct(const char* spelling) const { return kind == Tok::Punct && code == punctCode(spelling); }
    [[gnu::always_inline]] bool ident(std::string_view spelling) const {
        return kind == Tok::Ident && text.size() == spelling.size() && std::memcmp(text.data(), spelling.data(), spelling.size()) == 0;
    }
    bool reserved() const { return kind == Tok::Ident && (word & reservedWord); }
    // Back to a fresh token; the text keeps its storage for the next one read into it.
    void clear() {
        kind = Tok::End;
        word = 0;
        baseType = 0;
        code = 0;
        startsLine = false;
        wide = false;
        loc = Loc{};
        text.clear();
    }
    // Makes this a punctuator of one or two characters.
    void setPunct(std::string_view spelling) {
        kind = Tok::Punct;
        text.clear();
        text.append(spelling);  // cheaper than assign, which allows for an overlap
        code = punctCode(text.c_str());
    }
};

// The WordFlags of an identifier.
std::uint8_t wordFlags(std::string_view word);

// How a token reads in a message: 'x', "string constant", "end of input".
std::string describe(const Token& t);

class Lexer {
  public:
    // Lexes `text`, which the caller keeps alive and unchanged while the lexer reads it (a
    // source file's text stays in Sources); positions count from `origin` (line and column of
    // its first character). The '\0' a string keeps after its characters ends the scanning
    // loops, which then need no bounds check.
    Lexer(Diagnostics& diag, const std::string& text, Loc origin);
    Lexer(Diagnostics& diag, std::string&& text, Loc origin) = delete;  // it would not outlive the lexer

    Token next();  // its loc spans the token's columns (a token continued over lines: 0)
    void next(Token& t);  // the same, read into t
    // The same, also storing the token's loc in `place`, so that a caller keeping it reads
    // nothing back from the token just stored.
    void next(Token& t, Loc& place);
    // The next token when it is a name or a punctuator of one character with no comment,
    // continued line or directive before it, read as next() would read it: reading one
    // reports nothing. Otherwise false, having read no more than blanks and line ends.
    bool nextPlain(Token& t, Loc& place);
    // Puts back the token nextPlain just read.
    void unread(const Token& t);
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
    // Inlined into next(), which reads every token through it.
    [[gnu::always_inline]] void skipSpace(bool& sawNewline, bool stopAtNewline = false, bool comments = true);
    [[gnu::always_inline]] bool plainToken(Token& t, Loc& place);
    bool otherToken(Token& t, char c);
    void skipComment(bool& sawNewline);
    void number(Token& t);
    void quoted(Token& t, char close);
    int escape(bool wide);
    int hexEscape(int maxDigits);

    Diagnostics& diag_;
    std::string_view text_;
    size_t pos_ = 0;
    Loc here_;
    bool lineStart_ = true;
    bool skipping_ = false;
};

}  // namespace kc
