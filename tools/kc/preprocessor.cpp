#include "kc/preprocessor.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace kc {

namespace {

constexpr const char* builtinIncludes[] = {"kavobj.idl", "kavcls.idl"};

constexpr int maxExpressionDepth = 200;

std::string dirOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || (!name.empty() && name[0] == '/')) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string canonicalKey(const std::string& path) {
    std::error_code ec;
    auto canonical = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : canonical.string();
}

// An #if expression over tokens where macros are expanded and `defined` is resolved.
class IfExpression {
  public:
    IfExpression(const std::vector<Token>& tokens, Diagnostics& diag, Loc at)
        : tokens_(tokens), diag_(diag), at_(at) {}

    bool evaluate(long long& value) {
        value = conditional();
        if (ok_ && pos_ < tokens_.size()) fail("missing binary operator before " + describe(tokens_[pos_]));
        return ok_;
    }

  private:
    const Token* peek() const { return pos_ < tokens_.size() ? &tokens_[pos_] : nullptr; }
    bool accept(const char* punct) {
        if (peek() && peek()->punct(punct)) {
            ++pos_;
            return true;
        }
        return false;
    }
    void fail(const std::string& what) {
        if (ok_) diag_.error(peek() ? peek()->loc : at_, what);
        ok_ = false;
    }
    static long long wrap(unsigned long long v) { return static_cast<long long>(v); }

    long long conditional() {
        if (++depth_ > maxExpressionDepth) {
            fail("#if expression nested too deeply");
            --depth_;
            return 0;
        }
        long long c = binary(0);
        if (accept("?")) {
            long long a = conditional();
            if (!accept(":")) fail("expected ':' in #if expression");
            long long b = conditional();
            c = c ? a : b;
        }
        --depth_;
        return c;
    }

    // Binary operators by precedence level, loosest first.
    long long binary(int level) {
        static const std::vector<std::vector<const char*>> levels = {
            {"||"}, {"&&"}, {"|"}, {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="},
            {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};
        if (level == static_cast<int>(levels.size())) return unary();
        long long lhs = binary(level + 1);
        for (;;) {
            const char* op = nullptr;
            for (const char* candidate : levels[level])
                if (peek() && peek()->punct(candidate)) op = candidate;
            if (!op || !ok_) return lhs;
            Loc at = peek()->loc;
            ++pos_;
            long long rhs = binary(level + 1);
            unsigned long long ul = static_cast<unsigned long long>(lhs);
            unsigned long long ur = static_cast<unsigned long long>(rhs);
            std::string o = op;
            if (o == "||") lhs = lhs || rhs;
            else if (o == "&&") lhs = lhs && rhs;
            else if (o == "|") lhs = lhs | rhs;
            else if (o == "^") lhs = lhs ^ rhs;
            else if (o == "&") lhs = lhs & rhs;
            else if (o == "==") lhs = lhs == rhs;
            else if (o == "!=") lhs = lhs != rhs;
            else if (o == "<") lhs = lhs < rhs;
            else if (o == ">") lhs = lhs > rhs;
            else if (o == "<=") lhs = lhs <= rhs;
            else if (o == ">=") lhs = lhs >= rhs;
            else if (o == "<<") lhs = rhs < 0 || rhs > 63 ? 0 : wrap(ul << rhs);
            else if (o == ">>") lhs = rhs < 0 || rhs > 63 ? 0 : lhs >> rhs;
            else if (o == "+") lhs = wrap(ul + ur);
            else if (o == "-") lhs = wrap(ul - ur);
            else if (o == "*") lhs = wrap(ul * ur);
            else if (rhs == 0) {
                if (ok_) diag_.error(at, "division by zero in #if");
                ok_ = false;
                return 0;
            } else if (rhs == -1) lhs = o == "/" ? wrap(0 - ul) : 0;
            else lhs = o == "/" ? lhs / rhs : lhs % rhs;
        }
    }

    // Prefix operators are gathered first and applied innermost first: a run of them costs
    // no stack.
    long long unary() {
        std::string ops;
        while (peek() && peek()->kind == Tok::Punct && peek()->text.size() == 1 &&
               std::strchr("!~-+", peek()->text[0]))
            ops += tokens_[pos_++].text[0];
        long long v = primary();
        for (auto op = ops.rbegin(); op != ops.rend(); ++op) {
            if (*op == '!') v = !v;
            else if (*op == '~') v = ~v;
            else if (*op == '-') v = wrap(0 - static_cast<unsigned long long>(v));
        }
        return v;
    }

    long long primary() {
        const Token* t = peek();
        if (!t) {
            // The line ends where an operand is due: after an operator (`#if 1 +`) or at once.
            const Token* op = pos_ > 0 && tokens_[pos_ - 1].kind == Tok::Punct && !tokens_[pos_ - 1].punct("(") ? &tokens_[pos_ - 1] : nullptr;
            if (op && ok_) {
                diag_.error(op->loc, "operator " + quote(op->text) + " has no right operand");
                ok_ = false;
            }
            fail("#if with no expression");
            return 0;
        }
        if (t->punct("(")) {
            Loc open = t->loc;
            ++pos_;
            long long v = conditional();
            if (!accept(")") && ok_) {
                diag_.error(open, "missing ')' in expression");
                ok_ = false;
            }
            return v;
        }
        ++pos_;
        switch (t->kind) {
            case Tok::Int: {
                errno = 0;
                unsigned long long v = std::strtoull(t->text.c_str(), nullptr, 0);
                if (errno == ERANGE) fail("integer constant is too large");
                return wrap(v);
            }
            case Tok::Char: return t->text.empty() ? 0 : static_cast<unsigned char>(t->text[0]);
            case Tok::Ident: return 0;  // what is left after expansion is not defined
            case Tok::Float:
            case Tok::Fixed: --pos_; fail("floating constant in preprocessor expression"); return 0;
            default: --pos_; fail("token " + describe(*t) + " is not valid in preprocessor expressions"); return 0;
        }
    }

    const std::vector<Token>& tokens_;
    Diagnostics& diag_;
    Loc at_;
    size_t pos_ = 0;
    int depth_ = 0;
    bool ok_ = true;
};

}  // namespace

bool isBuiltinInclude(const std::string& name) {
    for (const char* b : builtinIncludes)
        if (name == b) return true;
    return false;
}

bool readFile(const std::string& path, std::string& text, std::string& why) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        why = std::strerror(EISDIR);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        why = std::strerror(errno);
        return false;
    }
    // Read into place, in one allocation of the size the file has (a file that grows
    // meanwhile is read on to its end).
    text.resize(static_cast<size_t>(st.st_size));
    size_t got = std::fread(text.data(), 1, text.size(), f);
    text.resize(got);
    if (got == static_cast<size_t>(st.st_size)) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    }
    bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) {
        why = "read error";
        return false;
    }
    return true;
}

Preprocessor::Preprocessor(Sources& sources, Diagnostics& diag, PreprocessorOptions options)
    : sources_(sources), diag_(diag), options_(std::move(options)) {
    setMacro("__KAVIDL__", Macro{lex("1", Loc{}), Loc{}, false});
    for (const auto& [name, value] : options_.defines) setMacro(name, Macro{lex(value, Loc{}), Loc{}, false});
}

std::vector<Token> Preprocessor::lex(const std::string& text, Loc at) {
    Lexer lexer(diag_, text, at);
    std::vector<Token> tokens;
    for (Token t = lexer.next(); t.kind != Tok::End; t = lexer.next()) tokens.push_back(t);
    return tokens;
}

bool Preprocessor::openMain(const std::string& path) {
    std::string text, why;
    if (!readFile(path, text, why)) {
        diag_.toolError(path + ": " + why);
        return false;
    }
    push(sources_.add(path, std::move(text), Loc{}), dirOf(path));
    return true;
}

void Preprocessor::openText(const std::string& path, const std::string& text) {
    push(sources_.add(path, text, Loc{}), dirOf(path));
}

void Preprocessor::push(int file, const std::string& dir) {
    Frame f;
    f.lexer = std::make_unique<Lexer>(diag_, sources_.file(file).text, Loc{file, 1, 1});
    f.dir = dir;
    frames_.push_back(std::move(f));
    refresh();
}

void Preprocessor::refresh() {
    reading_ = nullptr;
    if (!expanded_.empty() || frames_.empty() || stopped_ || !active(frames_.back())) return;
    reading_ = frames_.back().lexer.get();
    reading_->setSkipping(false);
}

// The next token of the directive's line; false at the end of the line.
bool Preprocessor::nextOnLine(Frame& f, Token& t) {
    if (f.lexer->atLineEnd()) return false;
    t = f.lexer->next();
    return true;
}

std::vector<Token> Preprocessor::restOfLine(Frame& f) {
    std::vector<Token> line;
    Token t;
    while (nextOnLine(f, t)) line.push_back(t);
    return line;
}

Token Preprocessor::next() {
    Token t;
    next(t);
    return t;
}


// The rarer steps of next(), out of line so that reading a plain token saves few registers:
// a token of an expansion, the end of the input, or one of a block left out, which only its
// directives are read for. True when `t` is the token to give.
[[gnu::noinline]] bool Preprocessor::nextElsewhere(Token& t) {
    if (!expanded_.empty()) {
        t = std::move(expanded_.front());
        expanded_.pop_front();
        refresh();
        return true;
    }
    if (frames_.empty() || stopped_) {
        t.clear();
        t.loc = lastLocs_[lastSlot_];
        return true;
    }
    Frame& f = frames_.back();
    f.lexer->setSkipping(true);
    f.lexer->next(t, lastLocs_[lastSlot_ ^ 1]);
    if (t.kind == Tok::Hash || t.kind == Tok::End) directiveOrEnd(f, t);
    return false;
}

[[gnu::noinline]] void Preprocessor::directiveOrEnd(Frame& f, Token& t) {
    if (t.kind == Tok::Hash) {
        directive(f, t);
    } else {
        for (const Conditional& c : f.conditionals) diag_.error(c.at, "unterminated conditional directive");
        if (frames_.size() == 1) lastLocs_[lastSlot_] = t.loc;
        frames_.pop_back();
    }
    refresh();
}

[[gnu::noinline]] void Preprocessor::expandUse(const Token& use) {
    std::vector<Token> out;
    expand(use, out);
    expanded_.insert(expanded_.end(), std::make_move_iterator(out.begin()), std::make_move_iterator(out.end()));
    refresh();
}

// Expands one use of a macro into `out`. The walk keeps its own stack, so a long chain of
// macros costs no call depth; every body token it visits is charged to the run's budget, so
// macros that expand to nothing cost too.
void Preprocessor::expand(const Token& use, std::vector<Token>& out) {
    struct Level {
        Macro* macro;
        size_t next;
    };
    std::vector<Level> stack;
    auto enter = [&](Macro& m) {
        m.expanding = true;
        stack.push_back({&m, 0});
    };
    enter(macros_.find(use.text)->second);
    size_t produced = 0;
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next == top.macro->body.size()) {
            top.macro->expanding = false;
            stack.pop_back();
            continue;
        }
        Token t = top.macro->body[top.next++];
        if (!chargeExpansion(use)) break;
        if (t.kind == Tok::Ident) {
            auto m = macros_.find(t.text);
            if (m != macros_.end() && !m->second.expanding) {
                enter(m->second);
                continue;
            }
        }
        t.loc = use.loc;
        t.startsLine = false;
        out.push_back(std::move(t));
        if (++produced == expansionLimit) {
            diag_.error(use.loc, "macro expansion of " + quote(use.text) + " is too large");
            break;
        }
    }
    for (Level& level : stack) level.macro->expanding = false;
}

void Preprocessor::setMacro(const std::string& name, Macro m) {
    macroLengths_.set(name.size() % macroLengths_.size());
    macroFirsts_.set(static_cast<unsigned char>(name[0]));
    macros_[name] = std::move(m);
}

bool Preprocessor::chargeExpansion(const Token& use) {
    if (stopped_) return false;
    if (++expansionWork_ <= expansionBudget) return true;
    diag_.error(use.loc, "macro expansion in this file exceeds " + std::to_string(expansionBudget) +
                             " tokens; the rest of the input is not read");
    stopped_ = true;
    return false;
}

void Preprocessor::directive(Frame& f, const Token& hash) {
    Token name;
    if (!nextOnLine(f, name)) return;  // the null directive
    if (name.kind != Tok::Ident) {
        if (active(f)) diag_.error(name.loc, "invalid preprocessing directive");
        restOfLine(f);
        return;
    }
    const std::string& d = name.text;
    if (d == "if" || d == "ifdef" || d == "ifndef" || d == "elif" || d == "else" || d == "endif") {
        conditional(f, name);
        return;
    }
    if (!active(f)) {
        restOfLine(f);
        return;
    }
    if (d == "include") {
        include(f, name);  // may push a frame: f is not used afterwards
    } else if (d == "define" || d == "undef") {
        define(f, name);
    } else if (d == "error" || d == "warning") {
        std::vector<Token> line = restOfLine(f);
        std::string text;
        for (const Token& t : line) {
            if (!text.empty()) text += ' ';
            text += t.kind == Tok::String ? "\"" + t.text + "\"" : t.text;
        }
        if (d == "error")
            diag_.error(hash.loc, "#error " + text);
        else
            diag_.warning(hash.loc, "#warning " + text, Group::cpp);
    } else if (d == "pragma") {
        std::vector<Token> line = restOfLine(f);
        if (line.size() == 1 && line[0].ident("once"))
            onceFiles_.insert(canonicalKey(sources_.file(hash.loc.file).path));
        else
            checkRepositoryPragma(line, name.loc);
        // other pragmas are not ours: ignored, as C compilers do
    } else {
        diag_.error(name.loc, "invalid preprocessing directive #" + d);
        restOfLine(f);
    }
}

// #pragma prefix "p", #pragma ID Name "id", #pragma version Name M.N: repository ids have no
// place in the object model, so only their form is checked.
void Preprocessor::checkRepositoryPragma(const std::vector<Token>& line, Loc at) {
    if (line.empty()) return;
    const std::string& which = line[0].text;
    if (which != "prefix" && which != "ID" && which != "version") return;
    size_t i = 1;
    if (which != "prefix") {  // a scoped name first
        if (i < line.size() && line[i].punct("::")) ++i;
        while (i < line.size() && line[i].kind == Tok::Ident) {
            ++i;
            if (i < line.size() && line[i].punct("::")) ++i;
            else break;
        }
        if (i == 1 || (i == 2 && line[1].punct("::"))) i = 0;
    }
    bool ok = i > 0 && i + 1 == line.size() &&
              (which == "version" ? line[i].kind == Tok::Float : line[i].kind == Tok::String);
    if (ok) return;
    const char* form = which == "prefix" ? "#pragma prefix \"prefix\""
                       : which == "ID"   ? "#pragma ID Name \"id\""
                                         : "#pragma version Name major.minor";
    diag_.warning(at, "malformed #pragma " + which + ", ignored; it reads " + form, Group::pragmas);
}

void Preprocessor::include(Frame& f, const Token& directiveName) {
    std::string file;
    Loc at = directiveName.loc;
    int angled = f.lexer->headerName(file, at);
    if (angled < 0) {
        restOfLine(f);
        return;
    }
    if (angled == 0) {
        std::vector<Token> line = restOfLine(f);
        if (line.empty() || line[0].kind != Tok::String) {
            diag_.error(line.empty() ? directiveName.loc : line[0].loc,
                        "#include expects \"FILENAME\" or <FILENAME>");
            return;
        }
        file = line[0].text;
        at = line[0].loc;
        if (line.size() > 1) diag_.warning(line[1].loc, "extra tokens at end of #include directive", Group::extraTokens);
    } else {
        std::vector<Token> extra = restOfLine(f);
        if (!extra.empty()) diag_.warning(extra[0].loc, "extra tokens at end of #include directive", Group::extraTokens);
    }
    if (file.empty()) {
        diag_.error(at, "empty filename in #include");
        return;
    }
    if (isBuiltinInclude(file)) return;

    std::vector<std::string> candidates;
    if (!file.empty() && file[0] == '/') {
        candidates.push_back(file);
    } else {
        candidates.push_back(joinPath(f.dir, file));
        for (const std::string& dir : options_.includeDirs) candidates.push_back(joinPath(dir, file));
    }
    // The first candidate that exists is the file meant: when it cannot be read, say why
    // (a directory, a FIFO, no permission) rather than searching on.
    std::string found;
    struct stat st{};
    for (const std::string& candidate : candidates) {
        if (::stat(candidate.c_str(), &st) == 0) {
            found = candidate;
            break;
        }
    }
    if (found.empty()) {
        diag_.error(at, file + ": " + std::strerror(ENOENT));
        return;
    }
    const std::string key = canonicalKey(found);
    if (onceFiles_.count(key)) return;
    if (static_cast<int>(frames_.size()) >= maxIncludeDepth) {
        diag_.error(at, "#include nested depth " + std::to_string(frames_.size()) +
                            " exceeds maximum of " + std::to_string(maxIncludeDepth));
        noteIncludeLoop(at, key);
        stopped_ = true;  // a loop of includes: one report, not one per way back into it
        return;
    }
    if (++includes_ > maxIncludes || includedBytes_ + st.st_size > maxIncludedBytes) {
        diag_.error(at, "#include budget of this file exceeded (" + std::to_string(maxIncludes) +
                            " inclusions or " + std::to_string(maxIncludedBytes >> 20) +
                            " MiB of included text): does a file include itself without a guard? "
                            "The rest of the input is not read");
        stopped_ = true;
        return;
    }
    std::string text, why;
    if (!readFile(found, text, why)) {
        diag_.error(at, found + ": " + why);
        return;
    }
    includedBytes_ += static_cast<long long>(text.size());
    push(sources_.add(found, std::move(text), directiveName.loc), dirOf(found));
}

// Too deep an #include is most often a file that includes itself, directly or through others,
// without a guard: the includers from `at` outward are searched for the file `key` names, and
// the loop found is named with the way to break it.
void Preprocessor::noteIncludeLoop(Loc at, const std::string& key) {
    std::vector<int> loop;  // the files from the one `at` stands in outward, up to `key`'s
    for (Loc in = at; in.file >= 0; in = sources_.file(in.file).includedFrom) {
        loop.push_back(in.file);
        if (canonicalKey(sources_.file(in.file).path) != key) continue;
        auto name = [&](int file) { return "'" + sources_.file(file).path + "'"; };
        std::string what = name(loop.back()) + " includes itself";
        constexpr std::size_t shown = 4;
        for (std::size_t i = loop.size() - 1; i-- > 0;) {
            const std::size_t step = loop.size() - 2 - i;  // 0 for the file it includes first
            if (step == shown) {
                what += " and " + std::to_string(i + 1) + " more";
                break;
            }
            what += (step == 0 ? " through " : ", ") + name(loop[i]);
        }
        diag_.note(at, what + "; guard it with #ifndef/#define/#endif or #pragma once");
        return;
    }
}

void Preprocessor::define(Frame& f, const Token& directiveName) {
    std::vector<Token> line = restOfLine(f);
    bool isDefine = directiveName.text == "define";
    if (line.empty() || line[0].kind != Tok::Ident) {
        diag_.error(line.empty() ? directiveName.loc : line[0].loc,
                    "macro names must be identifiers");
        return;
    }
    const Token& name = line[0];
    if (!isDefine) {
        if (line.size() > 1) diag_.warning(line[1].loc, "extra tokens at end of #undef directive", Group::extraTokens);
        macros_.erase(name.text);
        return;
    }
    if (line.size() > 1 && line[1].punct("(") && line[1].loc.line == name.loc.line &&
        line[1].loc.col == name.loc.col + static_cast<int>(name.text.size())) {
        diag_.error(line[1].loc, "function-like macros are not supported");
        return;
    }
    Macro m{std::vector<Token>(line.begin() + 1, line.end()), name.loc, false};
    auto old = macros_.find(name.text);
    if (old != macros_.end()) {
        bool same = old->second.body.size() == m.body.size();
        for (size_t i = 0; same && i < m.body.size(); ++i)
            same = old->second.body[i].kind == m.body[i].kind && old->second.body[i].text == m.body[i].text;
        if (!same) {
            diag_.warning(name.loc, quote(name.text) + " redefined", Group::macroRedefined);
            if (old->second.at.file >= 0) diag_.note(old->second.at, "this is the location of the previous definition");
        }
    }
    setMacro(name.text, std::move(m));
}

void Preprocessor::conditional(Frame& f, const Token& directiveName) {
    const std::string& d = directiveName.text;
    bool enclosing = active(f);
    if (d == "ifdef" || d == "ifndef" || d == "if") {
        Conditional c{directiveName.loc, false, enclosing, false, false};
        std::vector<Token> line = restOfLine(f);
        if (enclosing) {
            bool value = false;
            if (d == "if") {
                value = evaluate(line, directiveName.loc);
            } else if (line.empty() || line[0].kind != Tok::Ident) {
                diag_.error(line.empty() ? directiveName.loc : line[0].loc,
                            "no macro name given in #" + d + " directive");
            } else {
                value = macros_.count(line[0].text) == (d == "ifdef" ? 1u : 0u);
                if (line.size() > 1) diag_.warning(line[1].loc, "extra tokens at end of #" + d + " directive", Group::extraTokens);
            }
            c.active = value;
            c.taken = value;
        }
        f.conditionals.push_back(c);
        return;
    }
    if (f.conditionals.empty()) {
        diag_.error(directiveName.loc, "#" + d + " without #if");
        restOfLine(f);
        return;
    }
    Conditional& c = f.conditionals.back();
    if (d == "endif") {
        std::vector<Token> extra = restOfLine(f);
        if (!extra.empty() && c.parentActive) diag_.warning(extra[0].loc, "extra tokens at end of #endif directive", Group::extraTokens);
        f.conditionals.pop_back();
        return;
    }
    if (c.seenElse) {
        diag_.error(directiveName.loc, "#" + d + " after #else");
        restOfLine(f);
        return;
    }
    if (d == "else") {
        std::vector<Token> extra = restOfLine(f);
        if (!extra.empty() && c.parentActive) diag_.warning(extra[0].loc, "extra tokens at end of #else directive", Group::extraTokens);
        c.seenElse = true;
        c.active = c.parentActive && !c.taken;
        c.taken = c.taken || c.active;
        return;
    }
    // #elif
    std::vector<Token> line = restOfLine(f);
    if (c.parentActive && !c.taken) {
        c.active = evaluate(line, directiveName.loc);
        c.taken = c.active;
    } else {
        c.active = false;
    }
}

bool Preprocessor::evaluate(std::vector<Token> line, Loc at) {
    std::vector<Token> resolved;
    for (size_t i = 0; i < line.size(); ++i) {
        const Token& t = line[i];
        if (t.ident("defined")) {
            size_t j = i + 1;
            bool paren = j < line.size() && line[j].punct("(");
            if (paren) ++j;
            if (j >= line.size() || line[j].kind != Tok::Ident ||
                (paren && (j + 1 >= line.size() || !line[j + 1].punct(")")))) {
                diag_.error(t.loc, "operator \"defined\" requires an identifier");
                return false;
            }
            Token value = t;
            value.kind = Tok::Int;
            value.text = macros_.count(line[j].text) ? "1" : "0";
            resolved.push_back(value);
            i = paren ? j + 1 : j;
        } else if (t.kind == Tok::Ident && macros_.count(t.text)) {
            expand(t, resolved);
        } else {
            resolved.push_back(t);
        }
    }
    if (resolved.empty()) {
        diag_.error(at, "#if with no expression");
        return false;
    }
    long long value = 0;
    IfExpression e(resolved, diag_, at);
    return e.evaluate(value) && value != 0;
}

}  // namespace kc
