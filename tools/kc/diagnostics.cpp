#include "kc/diagnostics.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace kc {

namespace {

// Messages waiting for the parser: its look-ahead is a few tokens, so this many only gather
// when directives between two tokens report a lot; the oldest is then printed at once.
constexpr std::size_t pendingLimit = 256;
// Causes remembered to print each message once; past this the memory is started afresh.
constexpr std::size_t printedLimit = 4096;

// GCC's colours: locus bold, error red, warning magenta, note cyan, caret green.
constexpr const char* colorOf[] = {"\33[01;36m", "\33[01;35m", "\33[01;31m", "\33[01;31m"};
constexpr const char* labelOf[] = {"note", "warning", "error", "fatal error"};
constexpr const char* bold = "\33[01m";
constexpr const char* caretColor = "\33[01;32m";
constexpr const char* reset = "\33[m\33[K";

// A source line as it is quoted: tabs become blanks up to the next multiple of 8, so the caret
// line lines up, and a NUL byte a blank, which a terminal shows and which ends no text.
std::string shownLine(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\t')
            out.append(8 - out.size() % 8, ' ');
        else
            out += c == '\0' ? ' ' : c;
    }
    return out;
}

// The columns that the first `bytes` bytes of a line take once tabs are expanded.
std::size_t visualColumn(std::string_view text, std::size_t bytes) {
    std::size_t col = 0;
    for (std::size_t i = 0; i < bytes && i < text.size(); ++i) col = text[i] == '\t' ? col + 8 - col % 8 : col + 1;
    return col + (bytes > text.size() ? bytes - text.size() : 0);
}

std::string plural(int n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

const GroupRow groupTable[] = {
    {Group::cpp, "cpp", "#warning directives"},
    {Group::pragmas, "pragmas", "malformed #pragma prefix, ID or version (repository ids)"},
    {Group::extraTokens, "extra-tokens", "tokens after the end of a directive"},
    {Group::macroRedefined, "macro-redefined", "a macro defined again with another body"},
    {Group::unknownEscape, "unknown-escape-sequence", "an unknown escape sequence in a literal"},
    {Group::releaseOrder, "release-order",
     "a release-order name that is no method or data member of the class"},
    {Group::directInit, "direct-init", "a directinitclasses name that is no ancestor of the class"},
    {Group::sharedNames, "shared-names", "a function or stub name that two classes of the header declare"},
    {Group::migration, "migration", "a migration target that is no class of the file, or lacks the method"},
    {Group::unknownModifier, "unknown-modifier",
     "a modifier name that neither kc nor the emitter reads: by default only one close to a "
     "known name (a misspelling), every one with -Wunknown-modifier"},
    {Group::unknownOption, "unknown-option", "a -m name that is no global option"},
    {Group::emptyOutput, "empty-output", "an input that writes no header"},
    {Group::ignoredAnnotations, "ignored-annotations",
     "an IDL 4 annotation (@key, @optional, ...), which the object model has no place for"},
    {Group::emitter, "emitter", "the emitter's numbered warnings ([23]: an apply stub generated twice)"},
};
const std::size_t groupCount = std::size(groupTable);

const GroupRow* findGroup(std::string_view name) {
    for (const GroupRow& row : groupTable)
        if (name == row.name) return &row;
    return nullptr;
}

int Sources::add(std::string path, std::string text, Loc includedFrom) {
    files_.push_back({std::move(path), std::move(text), includedFrom, {}});
    return count() - 1;
}

bool Sources::line(int file, int line, std::string_view& text) const {
    if (file < 0 || file >= count() || line < 1) return false;
    const SourceFile& f = files_[file];
    if (f.lineStarts.empty()) {
        f.lineStarts.push_back(0);
        for (std::size_t i = 0; i < f.text.size(); ++i)
            if (f.text[i] == '\n') f.lineStarts.push_back(static_cast<std::uint32_t>(i + 1));
    }
    if (static_cast<std::size_t>(line) > f.lineStarts.size()) return false;
    std::size_t from = f.lineStarts[line - 1];
    std::size_t to = f.text.find('\n', from);
    if (to == std::string::npos) to = f.text.size();
    if (to > from && f.text[to - 1] == '\r') --to;
    if (from == f.text.size() && line > 1) return false;  // after the last line's end
    text = std::string_view(f.text).substr(from, to - from);
    return true;
}

std::string quote(const std::string& text) { return "'" + text + "'"; }

std::string closestSpelling(std::string_view word, const std::vector<std::string_view>& candidates) {
    std::string_view best;
    std::size_t bestDistance = SIZE_MAX;
    std::vector<std::size_t> before, row, next;
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    for (std::string_view c : candidates) {
        if (c == word) continue;
        // Optimal string alignment: insertions, deletions, substitutions, adjacent swaps.
        std::size_t n = word.size(), m = c.size();
        std::size_t cutoff = std::max<std::size_t>(1, std::max(n, m) / 3);
        if ((n > m ? n - m : m - n) > cutoff) continue;  // as many edits at least: not close
        before.assign(m + 1, 0);
        row.resize(m + 1);
        next.resize(m + 1);
        for (std::size_t j = 0; j <= m; ++j) row[j] = j;
        for (std::size_t i = 1; i <= n; ++i) {
            next[0] = i;
            for (std::size_t j = 1; j <= m; ++j) {
                // Letters that differ only in case cost nothing: NOTC is notc misspelt.
                std::size_t cost = lower(word[i - 1]) == lower(c[j - 1]) ? 0 : 1;
                next[j] = std::min({row[j] + 1, next[j - 1] + 1, row[j - 1] + cost});
                if (i > 1 && j > 1 && lower(word[i - 1]) == lower(c[j - 2]) && lower(word[i - 2]) == lower(c[j - 1]))
                    next[j] = std::min(next[j], before[j - 2] + 1);
            }
            before.swap(row);
            row.swap(next);
        }
        std::size_t distance = row[m];
        if (distance <= cutoff && distance < bestDistance) {
            best = c;
            bestDistance = distance;
        }
    }
    return std::string(best);
}

std::string didYouMean(std::string_view word, const std::vector<std::string_view>& candidates) {
    std::string best = closestSpelling(word, candidates);
    return best.empty() ? "" : "; did you mean " + quote(best) + "?";
}

void Diagnostics::setOptions(const DiagnosticOptions& options) { options_ = options; }

void Diagnostics::error(Loc at, const std::string& what) { add(kError, at, what, ""); }

void Diagnostics::fatal(Loc at, const std::string& what) { add(kFatal, at, what, ""); }

void Diagnostics::warning(Loc at, const std::string& what, Group group, bool onlyWhenAsked) {
    signed char state = options_.groups[static_cast<std::size_t>(group)];
    if (options_.noWarnings || state < 0 || (onlyWhenAsked && state <= 0)) {
        lastShown_ = false;
        return;
    }
    const char* name = "";
    for (const GroupRow& row : groupTable)
        if (row.id == group) name = row.name;
    if (options_.warningsAreErrors) {
        promoted_ = true;
        add(kError, at, what, *name ? std::string("[-Werror=") + name + "]" : "[-Werror]");
        return;
    }
    add(kWarning, at, what, *name ? std::string("[-W") + name + "]" : "");
}

void Diagnostics::note(Loc at, const std::string& what) {
    if (lastShown_) add(kNote, at, what, "");
}

void Diagnostics::toolError(const std::string& what) { add(kError, Loc{}, what, ""); }

void Diagnostics::hostMessage(Loc at, const char* kind, const std::string& what, int number) {
    std::string flag = number > 0 ? "[" + std::to_string(number) + "]" : "";
    if (std::strcmp(kind, "warning") == 0) {
        warning(at, what + (flag.empty() ? "" : " " + flag), Group::emitter);
        return;
    }
    bool isFatal = std::strcmp(kind, "fatal error") == 0;
    bool isInternal = std::strcmp(kind, "internal error") == 0;
    add(isFatal ? kFatal : kError, at, isInternal ? "internal error: " + what : what, flag);
}

void Diagnostics::add(Kind kind, Loc at, const std::string& what, std::string flag) {
    if (stopped_) {
        lastShown_ = false;
        return;
    }
    if (kind != kNote) {
        // One message per cause: the same text at the same place is printed once.
        std::uint64_t cause = std::hash<std::string>{}(what) ^
                              (static_cast<std::uint64_t>(at.file + 1) << 48) ^
                              (static_cast<std::uint64_t>(at.line) << 20) ^ static_cast<std::uint64_t>(at.col) ^
                              (static_cast<std::uint64_t>(kind) << 62);
        if (printed_.size() >= printedLimit) printed_.clear();
        lastShown_ = printed_.insert(cause).second;
        if (!lastShown_) return;
    }
    Message m{key_, kind, at, what, std::move(flag), at};
    if (kind == kNote) {
        // Right after its message: printed with it, or waiting behind it.
        if (lastPending_ < 0) {
            print(m);
            return;
        }
        m.key = pending_[lastPending_].key;
        m.sortAt = pending_[lastPending_].sortAt;
        pending_.insert(pending_.begin() + ++lastPending_, std::move(m));
        return;
    }
    if (key_ < settled_ && pending_.empty()) {
        lastPending_ = -1;
        print(m);
        return;
    }
    // After every waiting message of an earlier token, and of the same token at a position
    // before or at its own (notes sort at their message's position).
    auto before = [](const Message& m, const Message& p) {
        if (m.key != p.key) return m.key < p.key;
        if (m.sortAt.file != p.sortAt.file) return false;
        return m.sortAt.line < p.sortAt.line || (m.sortAt.line == p.sortAt.line && m.sortAt.col < p.sortAt.col);
    };
    auto place = std::upper_bound(pending_.begin(), pending_.end(), m, before);
    lastPending_ = place - pending_.begin();
    pending_.insert(place, std::move(m));
    while (!pending_.empty() && (pending_.front().key < settled_ || pending_.size() > pendingLimit)) printFirst();
}

void Diagnostics::printFirst() {
    Message first = std::move(pending_.front());
    pending_.erase(pending_.begin());
    --lastPending_;
    if (lastPending_ < -1) lastPending_ = -1;
    print(first);
}

void Diagnostics::stopOrdering() {
    settle(INT64_MAX);
    key_ = 0;
}

void Diagnostics::printSettled() {
    while (!pending_.empty() && pending_.front().key < settled_) printFirst();
}

bool Diagnostics::useColor() const {
    if (options_.color != Color::automatic) return options_.color == Color::always;
    const char* term = std::getenv("TERM");
    return ::isatty(STDERR_FILENO) && !(term && std::strcmp(term, "dumb") == 0);
}

std::string Diagnostics::locus(Loc at) const {
    if (at.file < 0 || at.file >= sources_.count()) return "kc";
    std::string where = sources_.file(at.file).path;
    if (at.line > 0) where += ":" + std::to_string(at.line);
    if (at.line > 0 && at.col > 0) where += ":" + std::to_string(at.col);
    return where;
}

// The source line and the caret line under it; "" when the position has no line.
std::string Diagnostics::quoteSource(Loc at) const {
    std::string_view text;
    if (at.col < 1 || !sources_.line(at.file, at.line, text)) return "";
    std::size_t start = visualColumn(text, static_cast<std::size_t>(at.col - 1));
    std::size_t lineEnd = visualColumn(text, text.size());
    std::size_t end = std::max(start + 1, std::min(lineEnd, visualColumn(text, static_cast<std::size_t>(at.col - 1 + std::max(at.width, 1)))));
    std::string caret(start, ' ');
    caret += '^';
    caret.append(end - start - 1, '~');
    bool color = useColor();
    return shownLine(text) + "\n" + (color ? caretColor + caret + reset : caret) + "\n";
}

void Diagnostics::print(const Message& m) {
    if (m.kind == kError || m.kind == kFatal) ++errors_;
    if (m.kind == kWarning) ++warnings_;
    located_ |= m.at.file >= 0;
    std::string head = locus(m.at) + ": " + labelOf[m.kind] + ": " + m.what;
    if (!m.flag.empty()) head += " " + m.flag;
    if (!echo_) {
        messages_.push_back(head);
    } else {
        // The includers are listed once for the messages in a row about one included file.
        std::string chain;
        if (m.at.file != chainShownFor_ && m.at.file >= 0 && m.at.file < sources_.count()) {
            const char* lead = "In file included from ";
            for (Loc from = sources_.file(m.at.file).includedFrom; from.file >= 0;) {
                const SourceFile& outer = sources_.file(from.file);
                chain += lead + outer.path + ":" + std::to_string(from.line);
                from = outer.includedFrom;
                chain += from.file >= 0 ? ",\n" : ":\n";
                lead = "                 from ";
            }
        }
        chainShownFor_ = m.at.file;
        std::string shown = head;
        if (useColor()) {
            std::string where = locus(m.at) + ":";
            std::string rest = m.what + (m.flag.empty() ? "" : " " + m.flag);
            shown = bold + where + reset + " " + colorOf[m.kind] + labelOf[m.kind] + ":" + reset + " " + rest;
        }
        const std::string whole = chain + shown + "\n" + quoteSource(m.at);
        std::fwrite(whole.data(), 1, whole.size(), stderr);
    }
    if ((m.kind == kError || m.kind == kFatal) && options_.maxErrors > 0 && errors_ >= options_.maxErrors) {
        stopped_ = true;
        pending_.clear();
        lastPending_ = -1;
        std::string line = "compilation terminated due to -fmax-errors=" + std::to_string(options_.maxErrors) + ".";
        if (echo_) {
            std::fprintf(stderr, "%s\n", line.c_str());
            finish();
        } else {
            messages_.push_back(line);
        }
        if (onLimit_) onLimit_();
    }
}

void Diagnostics::finish() {
    stopOrdering();
    if (finished_ || !echo_ || !located_) return;
    finished_ = true;
    if (promoted_) std::fprintf(stderr, "kc: all warnings being treated as errors\n");
    std::string count;
    if (errors_) count = plural(errors_, "error");
    if (warnings_) count += (count.empty() ? "" : ", ") + plural(warnings_, "warning");
    std::fprintf(stderr, "%s generated.\n", count.c_str());
}

}  // namespace kc
