// The message engine of kc: misspelling matches, ordering of a reader that runs ahead, one
// message per cause, and notes that follow the fate of their message (the error limit:
// tests/diagnostics/flag-max-errors-*).
#include "kc/diagnostics.h"

#include <gtest/gtest.h>

namespace {

using kc::Diagnostics;
using kc::Loc;

TEST(KcDiagnostics, ClosestSpelling) {
    const std::vector<std::string_view> words = {"override", "namelookup", "notc", "nothunks", "init"};
    const std::pair<const char*, const char*> cases[] = {
        {"overide", "override"},       // a letter left out
        {"namelokup", "namelookup"},   // another
        {"ovrerride", "override"},     // neighbours swapped, and one more
        {"NOTC", "notc"},              // case alone
        {"notcc", "notc"},             // a letter too many
        {"nothunk", "nothunks"},
        {"int", "init"},               // short words: one edit
        {"ini", "init"},
        {"frobnicate", ""},            // far from all
        {"xy", ""},                    // two edits on a short word are too many
        {"override", ""},              // the word itself is no misspelling
    };
    for (const auto& [word, expected] : cases) EXPECT_EQ(kc::closestSpelling(word, words), expected) << word;
}

struct Probe {
    kc::Sources sources;
    Diagnostics diag{sources};
    Probe() {
        sources.add("t.idl", "a b c\nd e f\n", Loc{});
        diag.setEcho(false);
    }
};

// A reader running ahead tags its messages with the token they concern; they are printed once
// the consumer is past it, those of one token by position, a note right after its message.
TEST(KcDiagnostics, MessagesOfATokenWaitForTheConsumer) {
    Probe p;
    p.diag.settle(0);
    p.diag.lookAhead(2);
    p.diag.error(Loc{0, 2, 3}, "ahead");
    p.diag.lookAhead(0);
    p.diag.error(Loc{0, 1, 5}, "consumer");
    p.diag.note(Loc{0, 1, 1}, "its note");
    p.diag.error(Loc{0, 1, 3}, "earlier place, same token");
    EXPECT_TRUE(p.diag.messages().empty());
    p.diag.settle(1);
    EXPECT_EQ(p.diag.messages(), (std::vector<std::string>{"t.idl:1:3: error: earlier place, same token",
                                                           "t.idl:1:5: error: consumer", "t.idl:1:1: note: its note"}));
    p.diag.settle(3);
    EXPECT_EQ(p.diag.messages().back(), "t.idl:2:3: error: ahead");
    EXPECT_EQ(p.diag.errors(), 3);
}

TEST(KcDiagnostics, OneMessagePerCauseAndNotesOfHiddenMessagesHidden) {
    Probe p;
    kc::DiagnosticOptions options;
    options.groups[static_cast<size_t>(kc::Group::cpp)] = -1;
    p.diag.setOptions(options);
    p.diag.error(Loc{0, 1, 1}, "twice");
    p.diag.note(Loc{0, 1, 1}, "shown");
    p.diag.error(Loc{0, 1, 1}, "twice");
    p.diag.note(Loc{0, 1, 1}, "hidden with its repeated message");
    p.diag.warning(Loc{0, 2, 1}, "off", kc::Group::cpp);
    p.diag.note(Loc{0, 2, 1}, "hidden with its warning");
    p.diag.warning(Loc{0, 2, 3}, "asked for only", kc::Group::unknownModifier, true);
    EXPECT_EQ(p.diag.messages(), (std::vector<std::string>{"t.idl:1:1: error: twice", "t.idl:1:1: note: shown"}));
    EXPECT_EQ(p.diag.errors(), 1);
    EXPECT_EQ(p.diag.warnings(), 0);
}

}  // namespace
