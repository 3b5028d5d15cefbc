#include "kc/lexer.h"

#include "kavc/base_types.h"

#include <array>
#include <bit>
#include <cstring>
#include <cctype>
#include <cstdio>

namespace kc {

namespace {

constexpr const char* twoCharPuncts[] = {"::", "<<", ">>", "&&", "||", "==", "!=", "<=", ">="};
constexpr const char* oneCharPuncts = "{}()[];:,=<>+-*/%&|^~!?.@";

// What each byte can be in a token, in the C locale.
enum : std::uint8_t {
    startsIdent = 1, inIdent = 2, onePunct = 4, startsTwoPunct = 8, blank = 16, lineEnd = 32, endsTwoPunct = 64
};
constexpr std::array<std::uint8_t, 256> charClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        bool digit = c >= '0' && c <= '9';
        classes[c] = static_cast<std::uint8_t>((letter ? startsIdent : 0) | (letter || digit ? inIdent : 0));
    }
    for (const char* p = oneCharPuncts; *p; ++p) classes[static_cast<unsigned char>(*p)] |= onePunct;
    classes['#'] |= onePunct;  // '#' not first on its line
    for (char c : {' ', '\t', '\r', '\f', '\v'}) classes[static_cast<unsigned char>(c)] |= blank;
    classes['\n'] |= lineEnd;
    for (const char* two : twoCharPuncts) {
        classes[static_cast<unsigned char>(two[0])] |= startsTwoPunct;
        classes[static_cast<unsigned char>(two[1])] |= endsTwoPunct;
    }
    return classes;
}();

bool identChar(char c) { return charClasses[static_cast<unsigned char>(c)] & inIdent; }

// The hash of a word for the table below, from its length and three of its characters:
// it is made for every identifier read, where a hash of every character would cost a
// multiplication per character, one after another.
constexpr std::uint32_t wordHash(std::string_view word) {
    const auto at = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(word[i])); };
    const std::uint32_t ends = at(0) | at(word.size() - 1) << 8 | (word.size() > 1 ? at(1) : 0) << 16;
    return (ends ^ static_cast<std::uint32_t>(word.size()) << 24) * 0x9E3779B1u >> 8;
}

// The words that have WordFlags, in an open-addressing table made once: most identifiers
// a lexer reads are names that find an empty slot at once.
class WordTable {
  public:
    constexpr WordTable() {
        for (const char* w : {"module", "interface", "attribute", "readonly", "in", "out", "inout", "oneway",
                              "raises", "context", "typedef", "struct", "union", "switch", "case", "default", "enum",
                              "const", "exception", "sequence", "TRUE", "FALSE",
                              // value types and the other CORBA 2 additions
                              "abstract", "custom", "factory", "local", "native", "private", "public", "supports",
                              "truncatable", "valuetype"})
            add(w, reservedWord);
        for (const kavc::BaseType& b : kavc::baseTypes) {
            std::string_view idl = b.idl;
            if (idl.find(' ') == std::string_view::npos) add(idl, 0, static_cast<std::uint8_t>(&b - kavc::baseTypes + 1));
            if (!b.keyword) continue;
            // every word of a keyword spelling is reserved; its first words start a base type
            for (size_t from = 0; from <= idl.size();) {
                size_t blank = idl.find(' ', from);
                if (blank == std::string_view::npos) blank = idl.size();
                add(idl.substr(from, blank - from), reservedWord);
                if (from == 0) add(idl.substr(0, blank), baseTypeStart);
                from = blank + 1;
            }
        }
    }

    struct Slot {
        std::string_view word;
        std::uint64_t packed = 0;  // a word of up to 8 characters: them, as loadWord reads them
        std::uint32_t hash = 0;
        std::uint8_t flags = 0;
        std::uint8_t baseType = 0;  // as Token::baseType
    };

    // The word's slot, or an empty one; `h`: its hash (wordHash). Words
    // are short and many of the identifiers read are keywords: they are compared here
    // byte by byte rather than through a call to memcmp.
    constexpr const Slot& find(std::string_view word, std::uint32_t h) const {
        for (size_t i = h;; ++i) {
            const Slot& s = slots_[i & (slotCount - 1)];
            if (s.word.empty()) return s;
            if (s.hash == h && s.word.size() == word.size()) {
                size_t k = 0;
                while (k < word.size() && s.word[k] == word[k]) ++k;
                if (k == word.size()) return s;
            }
        }
    }
    // The same for a word of at most 8 characters given as loadWord read it: one comparison
    // instead of one per character.
    const Slot& find(std::uint64_t loaded, size_t size, std::uint32_t h) const {
        for (size_t i = h;; ++i) {
            const Slot& s = slots_[i & (slotCount - 1)];
            if (s.word.empty()) return s;
            if (s.hash == h && s.word.size() == size && s.packed == loaded) return s;
        }
    }

  private:
    static constexpr size_t slotCount = 256;  // a power of two, well above the words above

    constexpr void add(std::string_view word, std::uint8_t flags, std::uint8_t baseType = 0) {
        for (size_t i = wordHash(word);; ++i) {
            Slot& s = slots_[i & (slotCount - 1)];
            if (s.word.empty()) {
                s.word = word;
                s.hash = wordHash(word);
                for (size_t k = 0; k < word.size() && word.size() <= 8; ++k)
                    s.packed |= static_cast<std::uint64_t>(static_cast<unsigned char>(word[k])) << (8 * k);
            }
            if (s.word == word) {
                s.flags |= flags;
                if (!s.baseType) s.baseType = baseType;  // the first row of a spelling, as kavc::findBaseType
                return;
            }
        }
    }

    std::array<Slot, slotCount> slots_{};
};

// Made by the compiler: a run pays nothing to set it up, and a lookup no guard.
constexpr WordTable wordTable;

// The `size` (1 to 8) characters at `p` as one number, the first in the lowest byte, from
// one load of 8 bytes that the caller knows lie in the text (or its '\0').
inline std::uint64_t loadWord(const char* p, size_t size) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return size == 8 ? v : v & ((std::uint64_t{1} << (8 * size)) - 1);
}

// A decoded escape: one byte, or the UTF-8 form of a \u code point above 0xff.
void appendCodePoint(std::string& text, int cp) {
    if (cp < 0x100) {
        text += static_cast<char>(cp);
    } else if (cp < 0x800) {
        text += static_cast<char>(0xc0 | (cp >> 6));
        text += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        text += static_cast<char>(0xe0 | (cp >> 12));
        text += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        text += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

// Characters in a literal's value: bytes, or UTF-8 sequences in a wide literal.
size_t characters(const std::string& text, bool wide) {
    if (!wide) return text.size();
    size_t n = 0;
    for (unsigned char c : text) n += (c & 0xc0) != 0x80;
    return n;
}

std::string printable(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isprint(u)) return std::string(1, c);
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\%03o", u);
    return buf;
}

}  // namespace

std::uint8_t wordFlags(std::string_view word) { return word.empty() ? 0 : wordTable.find(word, wordHash(word)).flags; }

std::string describe(const Token& t) {
    switch (t.kind) {
        case Tok::End: return "end of input";
        case Tok::String: return "string constant";
        case Tok::Int:
        case Tok::Float:
        case Tok::Fixed: return "numeric constant";
        case Tok::Char: return "character constant";
        case Tok::Hash: return "'#'";
        default: return quote(t.text);
    }
}

Lexer::Lexer(Diagnostics& diag, const std::string& text, Loc origin)
    : diag_(diag), text_(text), here_(origin) {
    if (origin.line == 1 && origin.col == 1 && text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;  // a UTF-8 byte-order mark
}

char Lexer::peek(size_t ahead) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
}

void Lexer::advance() {
    if (pos_ >= text_.size()) return;
    if (text_[pos_] == '\n') {
        ++here_.line;
        here_.col = 1;
    } else {
        ++here_.col;
    }
    ++pos_;
}

inline void Lexer::skipSpace(bool& sawNewline, bool stopAtNewline, bool comments) {
    const char* text = text_.data();
    for (;;) {
        // Blanks and line ends, most of what lies between tokens, in one loop over locals;
        // the '\0' after the text ends it without a bounds check.
        size_t at = pos_;
        int line = here_.line;
        int col = here_.col;
        for (;; ++at) {
            std::uint8_t cls = charClasses[static_cast<unsigned char>(text[at])];
            if (cls & blank) {
                ++col;
            } else if ((cls & lineEnd) && !stopAtNewline) {
                sawNewline = true;
                ++line;
                col = 1;
            } else {
                break;
            }
        }
        pos_ = at;
        here_.line = line;
        here_.col = col;
        char c = text[at];  // '\0' at the end
        if (!comments || (c != '\\' && c != '/')) return;
        const size_t before = pos_;
        skipComment(sawNewline);
        if (pos_ == before) return;
    }
}

// A comment or a continued line's end, when one starts here.
void Lexer::skipComment(bool& sawNewline) {
    char c = peek();
    if (c == '\\' && (peek(1) == '\n' || (peek(1) == '\r' && peek(2) == '\n'))) {
        advance();  // a continued line is one logical line
        if (peek() == '\r') advance();
        advance();
    } else if (c == '/' && peek(1) == '/') {
        while (pos_ < text_.size() && peek() != '\n') advance();
    } else if (c == '/' && peek(1) == '*') {
        Loc start = here_;
        advance();
        advance();
        bool closed = false;
        while (pos_ < text_.size()) {
            if (peek() == '*' && peek(1) == '/') {
                advance();
                advance();
                closed = true;
                break;
            }
            if (peek() == '\n') sawNewline = true;
            advance();
        }
        if (!closed) diag_.error(start, "unterminated comment");
    }
}

bool Lexer::atLineEnd() {
    bool sawNewline = false;
    skipSpace(sawNewline, true);
    if (sawNewline) lineStart_ = true;  // a comment spanning lines ends the directive too
    return sawNewline || pos_ >= text_.size() || peek() == '\n';
}

Token Lexer::next() {
    Token t;
    next(t);
    return t;
}

void Lexer::next(Token& t) {
    Loc place;
    next(t, place);
}

// The two kinds most tokens are, each written field by field once: a name or a keyword, and
// a punctuator of one character. False, having read nothing, when the next token is another.
inline bool Lexer::plainToken(Token& t, Loc& place) {
    const bool startsLine = lineStart_;
    const Loc at{here_.file, here_.line, here_.col, 0};
    const char* const p = text_.data() + pos_;  // at the end: the '\0' after the text
    const char c = *p;
    const std::uint8_t cls = charClasses[static_cast<unsigned char>(c)];
    if ((cls & startsIdent) && !(c == 'L' && (p[1] == '"' || p[1] == '\''))) {
        const char* e = p + 1;
        while (identChar(*e)) ++e;  // the '\0' after the text stops it
        const size_t n = static_cast<size_t>(e - p);
        const std::string_view word(p, n);
        // Words of up to 8 characters, whose 8 bytes from p lie in the text or are its
        // '\0', are compared in one piece.
        const bool loadable = n <= 8 && static_cast<size_t>(text_.data() + text_.size() - p) >= 7;
        const auto& slot = loadable ? wordTable.find(loadWord(p, n), n, wordHash(word))
                                    : wordTable.find(word, wordHash(word));
        t.kind = Tok::Ident;
        t.word = slot.flags;
        t.baseType = slot.baseType;
        t.code = 0;
        t.startsLine = startsLine;
        t.wide = false;
        t.text.clear();
        t.text.append(word);  // cheaper than assign, which allows for an overlap
        const Loc spans{at.file, at.line, at.col, static_cast<int>(n)};
        t.loc = spans;
        place = spans;
        here_.col += static_cast<int>(n);  // an identifier holds no line end
        pos_ += n;
        lineStart_ = false;
        return true;
    }
    if ((cls & onePunct) && c != '#' && c != '.' &&
        (!(cls & startsTwoPunct) || !(charClasses[static_cast<unsigned char>(p[1])] & endsTwoPunct))) {
        t.kind = Tok::Punct;
        t.word = 0;
        t.baseType = 0;
        t.code = static_cast<unsigned char>(c);  // punctCode of one character
        t.startsLine = startsLine;
        t.wide = false;
        t.text.clear();
        t.text.append(p, 1);
        const Loc spans{at.file, at.line, at.col, 1};
        t.loc = spans;
        place = spans;
        ++here_.col;  // no line end
        ++pos_;
        lineStart_ = false;
        return true;
    }
    return false;
}

void Lexer::next(Token& t, Loc& place) {
    for (;;) {
        bool sawNewline = false;
        skipSpace(sawNewline);
        if (sawNewline) lineStart_ = true;
        if (plainToken(t, place)) return;
        const bool startsLine = lineStart_;
        lineStart_ = false;
        const Loc at{here_.file, here_.line, here_.col, 0};
        const char c = text_.data()[pos_];  // at the end: the '\0' after the text
        t.clear();
        t.loc = at;
        t.startsLine = startsLine;
        if (pos_ >= text_.size()) {
            place = at;  // Tok::End: a point
            return;
        }
        if (!otherToken(t, c)) continue;  // a stray character, reported and skipped
        t.loc.width = here_.line == t.loc.line ? here_.col - t.loc.col : 0;
        place = t.loc;
        return;
    }
}

bool Lexer::nextPlain(Token& t, Loc& place) {
    bool sawNewline = false;
    skipSpace(sawNewline, false, false);
    if (sawNewline) lineStart_ = true;
    const char c = text_.data()[pos_];
    if (c == '/') return false;  // a comment, maybe
    return plainToken(t, place);
}

void Lexer::unread(const Token& t) {
    pos_ -= static_cast<size_t>(t.loc.width);
    here_.col -= t.loc.width;
    lineStart_ = t.startsLine;
}

// The rarer tokens, out of line: literals, '#', punctuators of two characters.
[[gnu::noinline]] bool Lexer::otherToken(Token& t, char c) {
    if (c == 'L') {  // a wide literal
        advance();
        t.kind = peek() == '"' ? Tok::String : Tok::Char;
        t.wide = true;
        quoted(t, peek());
        return true;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '.' && std::isdigit(static_cast<unsigned char>(peek(1))))) {
        number(t);
        return true;
    }
    if (c == '"') {
        t.kind = Tok::String;
        quoted(t, '"');
        return true;
    }
    if (c == '\'') {
        t.kind = Tok::Char;
        quoted(t, '\'');
        return true;
    }
    if (c == '#' && t.startsLine) {
        t.kind = Tok::Hash;
        t.text += '#';
        advance();
        return true;
    }
    std::uint8_t cls = charClasses[static_cast<unsigned char>(c)];
    if (cls & startsTwoPunct) {
        for (const char* two : twoCharPuncts) {
            if (c == two[0] && peek(1) == two[1]) {
                t.setPunct(two);
                advance();
                advance();
                return true;
            }
        }
    }
    if (cls & onePunct) {
        t.setPunct(std::string_view(&text_[pos_], 1));
        advance();
        return true;
    }
    diag_.error(here_, "stray " + quote(printable(c)) + " in program");
    advance();
    return false;
}

void Lexer::number(Token& t) {
    t.kind = Tok::Int;
    if (peek() == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
        t.text += peek();
        advance();
        t.text += peek();
        advance();
        while (std::isxdigit(static_cast<unsigned char>(peek()))) {
            t.text += peek();
            advance();
        }
        if (t.text.size() == 2) {  // "0x" alone is no number: C reads it as 0 with a bad suffix
            std::string suffix = t.text.substr(1);
            while (identChar(peek())) {
                suffix += peek();
                advance();
            }
            if (!skipping_) diag_.error(t.loc, "invalid suffix " + quote(suffix) + " on integer constant");
            t.text = "0";
            return;
        }
    } else {
        while (std::isdigit(static_cast<unsigned char>(peek()))) {
            t.text += peek();
            advance();
        }
        if (peek() == '.' && peek(1) != '.') {
            t.kind = Tok::Float;
            t.text += peek();
            advance();
            while (std::isdigit(static_cast<unsigned char>(peek()))) {
                t.text += peek();
                advance();
            }
        }
        if ((peek() == 'e' || peek() == 'E') &&
            (std::isdigit(static_cast<unsigned char>(peek(1))) ||
             ((peek(1) == '+' || peek(1) == '-') &&
              std::isdigit(static_cast<unsigned char>(peek(2)))))) {
            t.kind = Tok::Float;
            t.text += peek();
            advance();
            t.text += peek();
            advance();
            while (std::isdigit(static_cast<unsigned char>(peek()))) {
                t.text += peek();
                advance();
            }
        }
    }
    if ((peek() == 'd' || peek() == 'D') && !identChar(peek(1)) && t.text.find_first_of("eExX") == std::string::npos) {
        t.kind = Tok::Fixed;  // a fixed-point literal: 1.5d
        advance();
        return;
    }
    if (t.kind == Tok::Int && t.text.size() > 1 && t.text[0] == '0' && t.text[1] != 'x' && t.text[1] != 'X') {
        size_t bad = t.text.find_first_of("89");
        if (bad != std::string::npos) {
            if (!skipping_) diag_.error(t.loc, "invalid digit " + quote(t.text.substr(bad, 1)) + " in octal constant");
            t.text = "0";
        }
    }
    if (identChar(peek())) {
        std::string suffix;
        while (identChar(peek())) {
            suffix += peek();
            advance();
        }
        diag_.error(t.loc, "invalid suffix " + quote(suffix) + " on numeric constant");
    }
}

// \x or \u and up to `maxDigits` hex digits, at the letter.
int Lexer::hexEscape(int maxDigits) {
    Loc at = here_;
    char letter = peek();
    advance();
    int value = 0, digits = 0;
    while (std::isxdigit(static_cast<unsigned char>(peek())) && digits < maxDigits) {
        char d = peek();
        value = value * 16 + (std::isdigit(static_cast<unsigned char>(d))
                                  ? d - '0'
                                  : std::tolower(static_cast<unsigned char>(d)) - 'a' + 10);
        ++digits;
        advance();
    }
    if (digits == 0 && !skipping_)
        diag_.error(at, std::string("\\") + letter + " used with no following hex digits");
    return value;
}

int Lexer::escape(bool wide) {
    // at the character after the backslash
    char c = peek();
    if (c == 'u' && wide) return hexEscape(4);  // \uXXXX: a code point of a wide literal
    switch (c) {
        case 'n': advance(); return '\n';
        case 't': advance(); return '\t';
        case 'r': advance(); return '\r';
        case 'a': advance(); return '\a';
        case 'b': advance(); return '\b';
        case 'f': advance(); return '\f';
        case 'v': advance(); return '\v';
        case '\\':
        case '"':
        case '\'':
        case '?': advance(); return c;
        case 'x': return hexEscape(2);
        default:
            if (c >= '0' && c <= '7') {
                int value = 0;
                for (int i = 0; i < 3 && peek() >= '0' && peek() <= '7'; ++i) {
                    value = value * 8 + (peek() - '0');
                    advance();
                }
                return value & 0xff;
            }
            if (!skipping_) diag_.warning(here_, "unknown escape sequence '\\" + printable(c) + "'", Group::unknownEscape);
            advance();
            return c;
    }
}

void Lexer::quoted(Token& t, char close) {
    advance();  // opening quote
    bool closed = false;
    while (pos_ < text_.size() && peek() != '\n') {
        char c = peek();
        if (c == close) {
            advance();
            closed = true;
            break;
        }
        if (c == '\\') {
            advance();
            if (pos_ >= text_.size() || peek() == '\n') break;
            appendCodePoint(t.text, escape(t.wide));
        } else {
            t.text += c;
            advance();
        }
    }
    if (!closed) {
        if (!skipping_)
            diag_.error(t.loc, std::string("missing terminating ") + close + " character");
        return;
    }
    if (close == '\'' && !skipping_) {
        if (t.text.empty())
            diag_.error(t.loc, "empty character constant");
        else if (characters(t.text, t.wide) > 1)
            diag_.error(t.loc, "multi-character character constant");
    }
}

int Lexer::headerName(std::string& name, Loc& at) {
    while (peek() == ' ' || peek() == '\t') advance();
    if (peek() != '<') return 0;
    at = here_;
    advance();
    name.clear();
    while (pos_ < text_.size() && peek() != '\n' && peek() != '>') {
        name += peek();
        advance();
    }
    if (peek() != '>') {
        diag_.error(at, "missing terminating > character");
        return -1;
    }
    advance();
    return 1;
}

}  // namespace kc
