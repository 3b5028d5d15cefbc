// kc end to end: a class with an implicit metaclass gets two guarded headers in one file;
// errors 26 and 24 leave no file behind.
#include "kc_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

using testing_support::comment;
using testing_support::lines;

namespace {

using kc_e2e::Compiled;

TEST(HeaderEndToEnd, ImplicitMetaclassGivesTwoGuardedHeadersEachAfterThePolicyComment) {
    const Compiled pet = kc_e2e::compileIdl("header/pet");
    ASSERT_EQ(pet.run.status, 0) << pet.run.err;
    EXPECT_EQ(pet.run.out + pet.run.err, "");
    const std::string policy = comment(
        "-- By default, for classes declared using IDL,\n"
        "-- this emitter doesn't define redispatch/apply stubs.\n"
        "-- Instead, it requests that the KAV kernel produce them.\n"
        "-- To override this default, use the \"notc\" modifier.");
    std::size_t split = pet.header.find(policy, 1);
    ASSERT_NE(split, std::string::npos) << pet.header;
    std::string classPass = pet.header.substr(0, split), metaclassPass = pet.header.substr(split);
    EXPECT_TRUE(classPass.starts_with(policy + "\n#ifndef Pet_xih\n#define Pet_xih\n"))
        << classPass;
    EXPECT_TRUE(classPass.ends_with("\n#endif       /* Pet_xih */\n"));
    EXPECT_TRUE(metaclassPass.starts_with(policy + "\n#ifndef M_Pet_mxih\n#define M_Pet_mxih\n"));
    EXPECT_TRUE(metaclassPass.ends_with("\n#endif       /* M_Pet_mxih */\n"));
    // The metaclass's own method belongs to its pass.
    EXPECT_EQ(classPass.find("census"), std::string::npos);
    EXPECT_NE(metaclassPass.find("KAV_Scope long KAVLINK census(M_Pet *kavSelf,"),
              std::string::npos);
}

TEST(HeaderEndToEnd, OverrideOfAProcedureIsError26AndWritesNoFile) {
    const Compiled run = kc_e2e::compileIdl("header/override_procedure");
    EXPECT_EQ(run.run.status, 1);
    // The emitter reports a line; the message points at the override it concerns.
    EXPECT_EQ(run.run.err, kc_e2e::idl("header/override_procedure.idl") +
                               ":16:9: error: cannot override method \"count\": it is declared as "
                               "a procedure or as non-static [26]\n"
                               "        count: override;\n"
                               "        ^~~~~\n"
                               "1 error generated.\n");
    EXPECT_FALSE(run.wroteFile);
}

TEST(HeaderEndToEnd, ApplyWithoutValueIsFatal24OnlyWhenApplyStubsAreWritten) {
    const Compiled notc = kc_e2e::compileIdl("header/bare_apply", {"-m", "notc"});
    EXPECT_EQ(notc.run.status, 2);
    EXPECT_EQ(notc.run.err.substr(0, notc.run.err.find('\n')),
              kc_e2e::idl("header/bare_apply.idl") +
                  ":5:10: fatal error: the \"apply\" modifier needs a value: the name "
                  "of the apply stub to use [24]");
    EXPECT_FALSE(notc.wroteFile);
    // The runtime makes the stubs of an IDL class by default, so no stub name is asked for.
    const Compiled plain = kc_e2e::compileIdl("header/bare_apply");
    EXPECT_EQ(plain.run.status, 0) << plain.run.err;
    EXPECT_TRUE(plain.wroteFile);
}

}  // namespace
