// Tokens and their positions (the lexical errors, as kc prints them: tests/diagnostics/lex-*).
#include "kc/lexer.h"

#include "kavc/base_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Lexed {
    std::vector<kc::Token> tokens;
    std::vector<std::string> messages;
};

Lexed lex(const std::string& text) {
    kc::Sources sources;
    int file = sources.add("t.idl", text, kc::Loc{});
    kc::Diagnostics diag(sources);
    diag.setEcho(false);
    kc::Lexer lexer(diag, text, kc::Loc{file, 1, 1});
    Lexed out;
    for (kc::Token t = lexer.next(); t.kind != kc::Tok::End; t = lexer.next()) out.tokens.push_back(t);
    out.messages = diag.messages();
    return out;
}

std::string where(const kc::Token& t) { return std::to_string(t.loc.line) + ":" + std::to_string(t.loc.col); }

TEST(KcLexer, TokensCarryKindSpellingAndPosition) {
    Lexed l = lex("module Zoo {\n  long walk(in float x) :: : 0x1F 2.5e3 'c';\n}");
    ASSERT_TRUE(l.messages.empty());
    struct Want {
        kc::Tok kind;
        const char* text;
        const char* at;
    };
    const std::vector<Want> want = {
        {kc::Tok::Ident, "module", "1:1"}, {kc::Tok::Ident, "Zoo", "1:8"},  {kc::Tok::Punct, "{", "1:12"},
        {kc::Tok::Ident, "long", "2:3"},   {kc::Tok::Ident, "walk", "2:8"}, {kc::Tok::Punct, "(", "2:12"},
        {kc::Tok::Ident, "in", "2:13"},    {kc::Tok::Ident, "float", "2:16"}, {kc::Tok::Ident, "x", "2:22"},
        {kc::Tok::Punct, ")", "2:23"},     {kc::Tok::Punct, "::", "2:25"},  {kc::Tok::Punct, ":", "2:28"},
        {kc::Tok::Int, "0x1F", "2:30"},    {kc::Tok::Float, "2.5e3", "2:35"}, {kc::Tok::Char, "c", "2:41"},
        {kc::Tok::Punct, ";", "2:44"},     {kc::Tok::Punct, "}", "3:1"},
    };
    ASSERT_EQ(l.tokens.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(l.tokens[i].kind, want[i].kind) << i;
        EXPECT_EQ(l.tokens[i].text, want[i].text) << i;
        EXPECT_EQ(where(l.tokens[i]), want[i].at) << l.tokens[i].text;
    }
}

// Where the tokens of a text start: "line:col", and '^' for the first token of a logical line.
TEST(KcLexer, CommentsContinuationsAndDirectives) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"a /* one\ntwo */ b // tail\nc", {"^1:1 a", "^2:8 b", "^3:1 c"}},
        {"a /* x */ b", {"^1:1 a", "1:11 b"}},
        {"a \\\n b\nc", {"^1:1 a", "2:2 b", "^3:1 c"}},
        {"  #define X\na # b", {"^1:3 #", "1:4 define", "1:11 X", "^2:1 a", "2:3 #", "2:5 b"}},
    };
    for (const auto& [text, expected] : cases) {
        Lexed l = lex(text);
        std::vector<std::string> seen;
        for (const kc::Token& t : l.tokens) seen.push_back((t.startsLine ? "^" : "") + where(t) + " " + t.text);
        EXPECT_EQ(seen, expected) << text;
    }
    // only the first '#' of a line starts a directive
    Lexed l = lex("  #define X\na # b");
    EXPECT_EQ(l.tokens[0].kind, kc::Tok::Hash);
    EXPECT_EQ(l.tokens[4].kind, kc::Tok::Punct);
}

TEST(KcLexer, StringEscapesAreDecoded) {
    Lexed l = lex(R"("a\tb\n\"q\"\\ \x41\101")");
    ASSERT_EQ(l.tokens.size(), 1u);
    EXPECT_EQ(l.tokens[0].kind, kc::Tok::String);
    EXPECT_EQ(l.tokens[0].text, "a\tb\n\"q\"\\ AA");
}

// Reading ahead: nextPlain gives a name or a one-character punctuator exactly as next() would
// (an unread one is read again by next()), and declines anything else, a comment above all.
TEST(KcLexer, PlainTokensAreReadAsNextReadsThem) {
    const char* const cases[] = {
        "interface A { long f(in long a, out string b); };",
        "a /* c */ b // d\n  c/d",
        "a :: b : c >> d > e <f>",
        "x \\\n y\n#define Q 1\n  #z",
        "L\"w\" Lx 'c' 12 .5 x.y",
        "a\n\n   b\tc\n",
    };
    const auto shown = [](const kc::Token& t) {
        return (t.startsLine ? "^" : "") + where(t) + "+" + std::to_string(t.loc.width) + " " + t.text;
    };
    for (const char* text : cases) {
        const std::string source = text;
        std::vector<std::string> expected;
        for (const kc::Token& t : lex(source).tokens) expected.push_back(shown(t));
        kc::Sources sources;
        kc::Diagnostics diag(sources);
        diag.setEcho(false);
        kc::Lexer lexer(diag, source, kc::Loc{sources.add("t.idl", source, kc::Loc{}), 1, 1});
        std::vector<std::string> seen;
        kc::Token t;
        kc::Loc place;
        for (int i = 0;; ++i) {
            if (lexer.nextPlain(t, place)) {
                EXPECT_TRUE(t.kind == kc::Tok::Ident || t.kind == kc::Tok::Punct) << text;
                if (i % 2) {  // put back and read again
                    lexer.unread(t);
                    lexer.next(t, place);
                }
            } else {
                lexer.next(t, place);
            }
            if (t.kind == kc::Tok::End) break;
            EXPECT_EQ(place.line * 1000 + place.col, t.loc.line * 1000 + t.loc.col) << text;
            seen.push_back(shown(t));
        }
        EXPECT_EQ(seen, expected) << text;
    }
}

}  // namespace

// What the lexer finds out about a word once, for the parser: reserved, the start of a base
// type's spelling, and the base type it spells whole (kavc::baseTypes' row).
TEST(KcLexer, WordsAreClassifiedAsRead) {
    struct Want {
        const char* word;
        bool reserved, startsBase;
        const char* spells;  // null: no base type
    };
    const Want want[] = {
        {"long", true, true, "long"},        {"unsigned", true, true, nullptr},
        {"double", true, true, "double"},    {"TypeCode", true, true, "TypeCode"},
        {"Principal", false, false, "Principal"}, {"interface", true, false, nullptr},
        {"sequence", true, false, nullptr},  {"implementation", false, false, nullptr},
        {"Long", false, false, nullptr},     {"long_", false, false, nullptr},
    };
    std::string text;
    for (const Want& w : want) text += std::string(w.word) + " ";
    Lexed l = lex(text);
    ASSERT_EQ(l.tokens.size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        const kc::Token& t = l.tokens[i];
        EXPECT_EQ(t.reserved(), want[i].reserved) << want[i].word;
        EXPECT_EQ((t.word & kc::baseTypeStart) != 0, want[i].startsBase) << want[i].word;
        EXPECT_STREQ(t.baseType ? kavc::baseTypes[t.baseType - 1].idl : nullptr, want[i].spells) << want[i].word;
        EXPECT_EQ(kc::wordFlags(t.text), t.word) << want[i].word;
    }
}

// A punctuator compares by its characters, and one that is split ('>>' closing two
// templates) compares as what it became.
TEST(KcLexer, PunctuatorsCompareByTheirCharacters) {
    Lexed l = lex(":: : >> > # <");
    ASSERT_EQ(l.tokens.size(), 6u);
    EXPECT_TRUE(l.tokens[0].punct("::"));
    EXPECT_FALSE(l.tokens[0].punct(":"));
    EXPECT_TRUE(l.tokens[1].punct(":"));
    EXPECT_FALSE(l.tokens[1].punct("::"));
    EXPECT_TRUE(l.tokens[2].punct(">>"));
    kc::Token split = l.tokens[2];
    split.setPunct(">");
    EXPECT_TRUE(split.punct(">"));
    EXPECT_FALSE(split.punct(">>"));
    EXPECT_TRUE(l.tokens[4].punct("#"));
    EXPECT_FALSE(l.tokens[5].ident("<"));
}
