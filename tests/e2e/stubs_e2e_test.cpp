// kc end to end: with "notc" the header defines the apply and redispatch stubs (and declares
// the stubs it only names); without it, every new method gets its method information instead.
#include "kc_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

using testing_support::comment;
using testing_support::lines;

namespace {

using kc_e2e::Compiled;

const std::string applyBanner = comment("-- Apply Stubs for New Methods");
const std::string externalsBanner =
    comment("Generate dummy external for those stubs that are not declared in this file.");

TEST(StubsEndToEnd, NotcWritesTheStubsAndDeclaresTheOnesOnlyNamed) {
    const Compiled lion = kc_e2e::compileIdl("stubs/apply_stubs", {"-m", "notc"});
    EXPECT_EQ(lion.run.status, 0);
    EXPECT_EQ(lion.run.err.substr(0, lion.run.err.find('\n')),
              kc_e2e::idl("stubs/apply_stubs.idl") +
                  ":13:10: warning: apply stub \"moveStub\" is already generated in "
                  "this file; the existing stub is used [23] [-Wemitter]");
    const std::string expected[] = {
        "static long KAVLINK kavRD_grow(Lion *kavSelf,\n",
        applyBanner + "static void KAVLINK kavAP_grow(Lion *kavSelf,\n",
        "\t((kavTD_Lion_mark) __methodPtr) (kavSelf,ev, (long (*)    [3])grid);\n",
        externalsBanner + lines({"#define huntStubD 1", "KAVEXTERN kavMethodProc KAVLINK huntStub;"}),
        externalsBanner + lines({"#ifndef gatherStubD", "#define gatherStubD 1",
                                 "KAVEXTERN kavMethodProc KAVLINK gatherStub;",
                                 "#endif /* gatherStubD */"}),
    };
    for (const std::string& text : expected)
        EXPECT_NE(lion.header.find(text), std::string::npos) << text;
    EXPECT_EQ(lion.header.find("MethodInfo"), std::string::npos);
    EXPECT_EQ(lion.header.find("kavAP_helper"), std::string::npos) << "procedures get no stub";
}

TEST(StubsEndToEnd, WithoutNotcNewMethodsEndWithTheirMethodInformation) {
    const Compiled gauge = kc_e2e::compileIdl("stubs/method_info");
    ASSERT_EQ(gauge.run.status, 0) << gauge.run.err;
    EXPECT_EQ(gauge.run.err, "");
    EXPECT_EQ(gauge.header.find(applyBanner), std::string::npos);
    // a double and a float after the object pointer and the environment
    EXPECT_NE(gauge.header.find(lines({
                  "#endif  /* kavDS_f_defined */",
                  "",
                  "static kavFloatMap fFloatMap = {",
                  "8, 19, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, };",
                  "",
                  "static kavMethodInfo fMethodInfo = {1, 20, &fFloatMap};",
                  "",
                  "static kavApRdInfo fStubs = {0, 0, &fMethodInfo};",
              })),
              std::string::npos)
        << gauge.header;
}

}  // namespace
