// kc on a class with initializers, a destructor and assignment methods: its header ends with
// the lifecycle macros and the closing lines.
#include "kc_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

using testing_support::comment;
using testing_support::lines;

namespace {

TEST(LifecycleMacrosEndToEnd, HeaderEndsWithTheMacrosAndTheClosingLines) {
    const kc_e2e::Compiled compiled = kc_e2e::compileIdl("initializers/lifecycle");
    ASSERT_EQ(compiled.run.status, 0) << compiled.run.err;
    EXPECT_EQ(compiled.run.out + compiled.run.err, "");
    const std::string& header = compiled.header;

    // Key lines of each part, in order, after <Class>NewClass.
    size_t at = header.find("SquareNewClass");
    ASSERT_NE(at, std::string::npos) << header;
    const std::string tail = header.substr(at);
    for (const std::string& part :
         {lines({"    return result;", "}"}) + comment("Macro for assignmentOp entry") + "#define Square_BeginAssignmentOp \\\n",
          comment("Macros for initializer/destructor entry/exit") + "#define Square_BeginInitializer_kavDefaultInit \\\n",
          lines({"#define Square_BeginInitializer_withSize \\", "   if (!sqCtrl) { \\"}),
          comment("Ancestor_CopyInit Macros"),
          lines({"#define Square_Init_Shape_withSides(kavSelf, ev, ctrl, sides) \\", "        if (myMask[0]&1) \\"})}) {
        at = header.find(part, at);
        ASSERT_NE(at, std::string::npos) << part << "\n-- in --\n" << tail;
    }
    EXPECT_TRUE(header.ends_with(lines({"                   ((KAVObject *)((void *) kavSelf), 0, ctrl)", "",
                                        "#endif /* Primary Implementation Support */", "", "#endif       /* Square_xih */"})))
        << tail;
}

}  // namespace
