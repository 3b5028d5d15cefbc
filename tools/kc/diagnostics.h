// Source files of one compilation and the messages about them.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kc {

// A position in a source file: file index into Sources, 1-based line and column, and the
// columns the token there spans (0: a point, shown by a caret alone).
struct Loc {
    int file = -1;
    int line = 0;
    int col = 0;
    int width = 0;
};

struct SourceFile {
    std::string path;  // as found: printed in messages
    std::string text;
    Loc includedFrom;  // file -1 for the main file
    mutable std::vector<std::uint32_t> lineStarts;  // made on the first message quoting the file
};

class Sources {
  public:
    int add(std::string path, std::string text, Loc includedFrom);
    const SourceFile& file(int index) const { return files_[index]; }
    int count() const { return static_cast<int>(files_.size()); }
    // The text of a line without its end, or false when the file has no such line.
    bool line(int file, int line, std::string_view& text) const;

  private:
    std::deque<SourceFile> files_;  // a file's text stays in place: its lexer reads it there
};

// Warnings come in groups that -W<group> and -Wno-<group> switch; one row each.
enum class Group : unsigned char {
    none,  // no group: only -w silences it
    cpp, pragmas, extraTokens, macroRedefined, unknownEscape, releaseOrder, directInit, sharedNames, migration,
    unknownModifier, unknownOption, emptyOutput, ignoredAnnotations, emitter,
};
inline constexpr std::size_t groupSlots = static_cast<std::size_t>(Group::emitter) + 1;

struct GroupRow {
    Group id;
    const char* name;  // as written after -W
    const char* what;  // one line for docs/idl.md and kc --help
};

extern const GroupRow groupTable[];
extern const std::size_t groupCount;
const GroupRow* findGroup(std::string_view name);

enum class Color : unsigned char { automatic, always, never };

// How messages are shown and limited: the -W, -w, -f flags of the command line.
struct DiagnosticOptions {
    bool warningsAreErrors = false;  // -Werror
    bool noWarnings = false;         // -w
    int maxErrors = 20;              // -fmax-errors=N; 0: no limit
    Color color = Color::automatic;
    // -W<group> / -Wno-<group>, one state per group: 0 default, 1 asked for, -1 off
    std::array<signed char, groupSlots> groups{};
};

// GCC-style messages: "file:line:col: error: what" on stderr, with the include chain
// ("In file included from ...") for positions inside included files, and below it the source
// line with a caret under the position (and '~' under the rest of its token).
//
// Messages are printed as they come, nothing is kept: a reader that runs ahead of its
// consumer (the preprocessor ahead of the parser) tags its messages with how far ahead it is
// (lookAhead), and they wait until the consumer gets there (settle), so the output follows the
// source. After maxErrors errors the run stops with GCC's "compilation terminated" line.
class Diagnostics {
  public:
    explicit Diagnostics(const Sources& sources) : sources_(sources) {}

    void setOptions(const DiagnosticOptions& options);
    // Called once the error limit is reached (after its line is printed): kc ends the run there.
    void setOnLimit(void (*onLimit)()) { onLimit_ = onLimit; }

    void error(Loc at, const std::string& what);
    void fatal(Loc at, const std::string& what);
    // A warning of a group; `onlyWhenAsked`: shown only after -W<group>.
    void warning(Loc at, const std::string& what, Group group = Group::none, bool onlyWhenAsked = false);
    // Belongs to the message before it: shown only when that one was.
    void note(Loc at, const std::string& what);
    // A message without a source position: "kc: error: what".
    void toolError(const std::string& what);
    // A message the emitter reported through the host, "[number]" after its text.
    void hostMessage(Loc at, const char* kind, const std::string& what, int number);

    // Ordering: messages reported from now on concern token `key` of the consumer; those of
    // one token are printed in the order of their positions.
    void lookAhead(std::int64_t key) { key_ = key; }
    // The consumer is done with the tokens before `key`: their messages are printed. Called
    // for every token taken, where nothing waits almost always.
    void settle(std::int64_t key) {
        settled_ = key;
        key_ = key;
        if (!pending_.empty()) printSettled();
    }
    // Prints everything waiting; messages are printed at once from now on.
    void stopOrdering();
    // Prints what is still waiting and, after messages about the source, the closing count
    // ("2 errors, 1 warning generated.").
    void finish();

    int errors() const { return errors_; }
    int warnings() const { return warnings_; }
    bool stopped() const { return stopped_; }
    // Tests: echo off keeps each message's first line here instead of printing it.
    const std::vector<std::string>& messages() const { return messages_; }
    void setEcho(bool on) { echo_ = on; }

  private:
    enum Kind : unsigned char { kNote, kWarning, kError, kFatal };
    struct Message {
        std::int64_t key;
        Kind kind;
        Loc at;
        std::string what;
        std::string flag;  // "[-Wgroup]", "[-Werror=group]", "[26]"
        Loc sortAt;        // its position; a note's is its message's
    };
    void add(Kind kind, Loc at, const std::string& what, std::string flag);
    void printFirst();
    void printSettled();
    void print(const Message& m);
    std::string locus(Loc at) const;
    std::string quoteSource(Loc at) const;
    bool useColor() const;

    const Sources& sources_;
    DiagnosticOptions options_;
    void (*onLimit_)() = nullptr;
    std::vector<Message> pending_;  // waiting for the consumer; at most pendingLimit
    long lastPending_ = -1;         // where the last message waits (-1: printed): its notes follow it
    std::unordered_set<std::uint64_t> printed_;  // one message per cause; at most printedLimit
    std::vector<std::string> messages_;
    std::int64_t key_ = 0;
    std::int64_t settled_ = INT64_MAX;  // messages of keys below it are printed at once
    int errors_ = 0;
    int warnings_ = 0;
    bool promoted_ = false;    // a warning was printed as an error (-Werror)
    bool lastShown_ = false;   // a note follows the fate of its message
    bool stopped_ = false;
    bool finished_ = false;
    bool located_ = false;  // a message about the source was printed: the count closes the run
    int chainShownFor_ = -1;  // the included file whose includers the last message listed
    bool echo_ = true;
};

// Quoted for a message: 'text'.
std::string quote(const std::string& text);

// The candidate closest to `word` when it is close enough to be a misspelling of it (an edit
// distance of at most a third of the longer word, and at least 1); "" when none is.
std::string closestSpelling(std::string_view word, const std::vector<std::string_view>& candidates);
// "; did you mean 'x'?" for the closest candidate, "" when none is close.
std::string didYouMean(std::string_view word, const std::vector<std::string_view>& candidates);

}  // namespace kc
