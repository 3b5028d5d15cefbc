// Messages of the host: texts, GCC-style reports, counts and the fatal path.
#include "support/text.h"

#include <unistd.h>

#include <filesystem>

namespace {

using testing_support::HostTest;
namespace fs = std::filesystem;

class KavcMessages : public HostTest {};

TEST_F(KavcMessages, ReportsAreGccStyleAndCounted) {
    kavtmriwarn("zoo.idl", 12, 23, "kavGAP_walk");
    kavtmrierror("zoo.idl", 30, 35, "Dog::run", "Animal", "Runner");
    kavtmrierror("zoo.idl", 31, 35, "nap", "Dog", "Animal");
    kavtmriinternal("zoo.idl", 40, 25, "Dog", "run");
    kavtmrierror("zoo.idl", 41, 26, "sleep");
    kavtmrierror("zoo.idl", 0, 33);
    kavtmrierror("zoo.idl", 50, 228, "fromNumber");
    const std::vector<std::string> expected = {
        "zoo.idl:12: warning: apply stub \"kavGAP_walk\" is already generated in this file; the "
        "existing stub is used [23]",
        "zoo.idl:30: error: method \"Dog::run\" is introduced twice, by class \"Animal\" and by class "
        "\"Runner\"; only procedures and non-static methods may be reintroduced [35]",
        "zoo.idl:31: error: method \"nap\" is introduced twice, by class \"Dog\" and by class "
        "\"Animal\"; only procedures and non-static methods may be reintroduced [35]",
        "zoo.idl:40: internal error: no parent of class \"Dog\" has the overridden method \"run\" [25]",
        "zoo.idl:41: error: cannot override method \"sleep\": it is declared as a procedure or as "
        "non-static [26]",
        // line 0: no line number
        "zoo.idl: error: shadow class rule broken (see the message printed above) [33]",
        "zoo.idl:50: error: initializer \"fromNumber\" overrides or reintroduces an inherited method; "
        "only a class with the \"shadow\" modifier may do that [228]",
    };
    EXPECT_EQ(kavc::messages(), expected);
    EXPECT_EQ(kavc::errorCount(), 6);  // the internal error counts as an error
    EXPECT_EQ(kavc::warningCount(), 1);
    kavc::reset();
    EXPECT_TRUE(kavc::messages().empty());
    EXPECT_EQ(kavc::errorCount(), 0);
    EXPECT_EQ(kavc::warningCount(), 0);
}

TEST_F(KavcMessages, ArgumentsAreInsertedLiterally) {
    kavtmrierror("a.idl", 1, 26, "%s%d");
    kavtmrierror("a.idl", 2, 999);
    EXPECT_EQ(kavc::messages()[0],
              "a.idl:1: error: cannot override method \"%s%d\": it is declared as a procedure or as "
              "non-static [26]");
    EXPECT_EQ(kavc::messages()[1], "a.idl:2: error: message 999 [999]");
}

TEST_F(KavcMessages, FatalReportsAndDiscardsTheOutput) {
    fs::path dir = fs::temp_directory_path() / ("kavc_fatal_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    kavc::setOutputDir(dir.string());
    kavtokfprintf(kavtopenEmitFile("animal", "xih"), "partial\n");
    EXPECT_FALSE(fs::is_empty(dir));
    kavtmrifatal("animal.idl", 7, 24);
    try {
        kavtcleanFilesFatal(-1);
        ADD_FAILURE() << "the fatal path returned";
    } catch (const kavc::Fatal& fatal) {
        EXPECT_EQ(fatal.status, -1);
    }
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_EQ(kavc::messages(),
              std::vector<std::string>{"animal.idl:7: fatal error: the \"apply\" modifier needs a value: "
                                       "the name of the apply stub to use [24]"});
    EXPECT_EQ(kavc::errorCount(), 1);
    fs::remove_all(dir);
}

TEST(KavcMessagesDeathTest, FatalEndsTheRunWithStatus2) {
    kavc::reset();
    kavc::throwOnFatal(false);
    EXPECT_EXIT(
        {
            kavtmrifatal("animal.idl", 7, 24);
            kavtcleanFilesFatal(-1);
        },
        ::testing::ExitedWithCode(2), "animal.idl:7: fatal error: .*\\[24\\]");
}

}  // namespace
