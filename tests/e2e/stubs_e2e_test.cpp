// kc end to end: with "notc" the header defines the apply stubs (and declares the ones it
// only names); without it, every new method gets its method information instead.
#include "kc_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

using testing_support::comment;
using testing_support::lines;

namespace {

struct Compiled {
    kc_e2e::KcResult run;
    std::string header;
};

Compiled compile(const std::string& stem, std::vector<std::string> options) {
    kc_e2e::ScratchDir dir;
    std::vector<std::string> args{"--emitter", PLUGIN_PATH, "-o", dir.path()};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(kc_e2e::idl("stubs/" + stem + ".idl"));
    Compiled result;
    result.run = kc_e2e::runKc(args, dir.path());
    result.header = kc_e2e::readText(dir / (stem + ".xih"));
    return result;
}

const std::string applyBanner = comment("-- Apply Stubs for New Methods");

// The apply-stub section of the n-th pass: from its banner to the first new method.
std::string applySection(const std::string& header, int pass) {
    std::size_t from = header.find(applyBanner);
    for (int i = 0; i < pass && from != std::string::npos; ++i)
        from = header.find(applyBanner, from + 1);
    if (from == std::string::npos) return {};
    std::size_t to = header.find("\n/*\n * New Method: ", from);
    return header.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

class ApplyStubsEndToEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { lion = compile("apply_stubs", {"-m", "notc"}); }
    static Compiled lion;
};
Compiled ApplyStubsEndToEnd::lion;

TEST_F(ApplyStubsEndToEnd, SecondGeneratorOfOneStubIsWarning23) {
    EXPECT_EQ(lion.run.status, 0) << lion.run.err;
    EXPECT_EQ(lion.run.err, kc_e2e::idl("stubs/apply_stubs.idl") +
                                ":13: warning: apply stub \"moveStub\" is already generated in "
                                "this file; the existing stub is used [23]\n");
}

TEST_F(ApplyStubsEndToEnd, ClassPassDefinesItsStubsAndDeclaresTheOnesItOnlyNames) {
    const std::string stubHead = "\t\tkavMethodProc *__methodPtr,\n\t\tva_list __ap)\n{\n";
    EXPECT_EQ(applySection(lion.header, 0),
              applyBanner +
                  lines({
                      "static void KAVLINK kavAP_grow(Lion *kavSelf,",
                      "\t\tlong *__retVal,",
                  }) +
                  stubHead +
                  lines({
                      "\tkavSelf = va_arg(__ap, Lion*);",
                      "\tlong steps = va_arg(__ap, long);",
                      "\tfloat speed = va_arg(__ap, float);",
                      "",
                      "\t*__retVal = ((kavTD_Lion_grow) __methodPtr) (kavSelf,ev, steps,speed);",
                      "}",
                      "",
                      "static void KAVLINK kavAP_roar(Lion *kavSelf,",
                      "\t\tvoid *__retVal,",
                  }) +
                  stubHead +
                  lines({
                      "\tkavSelf = va_arg(__ap, Lion*);",
                      "\tKAV_IgnoreWarning(__ap);",
                      "\tKAV_IgnoreWarning(__retVal);",
                      "",
                      "\t((kavTD_Lion_roar) __methodPtr) (kavSelf,ev);",
                      "}",
                      "",
                      "#define kavGAP_runD 1",
                      "KAVEXTERN void KAVLINK kavGAP_run(Lion *kavSelf,",
                      "\t\tvoid *__retVal,",
                  }) +
                  stubHead +
                  lines({
                      "\tkavSelf = va_arg(__ap, Lion*);",
                      "\tlong meters = va_arg(__ap, long);",
                      "\tKAV_IgnoreWarning(__retVal);",
                      "",
                      "\t((kavTD_Lion_run) __methodPtr) (kavSelf,ev, meters);",
                      "}",
                      "",
                      "/* Using \"moveStub\" apply stub for method \"stalk\" */",
                      "",
                      "#define moveStubD 1",
                      "KAVEXTERN void KAVLINK moveStub(Lion *kavSelf,",
                      "\t\tvoid *__retVal,",
                  }) +
                  stubHead +
                  lines({
                      "\tkavSelf = va_arg(__ap, Lion*);",
                      "\tlong meters = va_arg(__ap, long);",
                      "\tKAV_IgnoreWarning(__retVal);",
                      "",
                      "\t((kavTD_Lion_pounce) __methodPtr) (kavSelf,ev, meters);",
                      "}",
                      "",
                      "/* Using \"huntStub\" apply stub for method \"hunt\" */",
                      "",
                      "/* Using \"moveStub\" apply stub for method \"chase\" */",
                      "",
                      "static void KAVLINK kavAP_mark(Lion *kavSelf,",
                      "\t\tvoid *__retVal,",
                  }) +
                  stubHead +
                  lines({
                      "\tkavSelf = va_arg(__ap, Lion*);",
                      "\tlong (*grid)[3] = va_arg(__ap, long(*)[3]);",
                      "\tKAV_IgnoreWarning(__retVal);",
                      "",
                      "\t((kavTD_Lion_mark) __methodPtr) (kavSelf,ev, (long (*)    [3])grid);",
                      "}",
                      "",
                  }) +
                  comment("Generate dummy external for those stubs that are not declared in "
                          "this file.") +
                  lines({
                      "#define huntStubD 1",
                      "KAVEXTERN kavMethodProc KAVLINK huntStub;",
                  }));
}

TEST_F(ApplyStubsEndToEnd, MetaclassPassGuardsItsExternals) {
    EXPECT_EQ(applySection(lion.header, 1),
              applyBanner + lines({
                                "static void KAVLINK kavAP_pride(M_Lion *kavSelf,",
                                "\t\tlong *__retVal,",
                                "\t\tkavMethodProc *__methodPtr,",
                                "\t\tva_list __ap)",
                                "{",
                                "\tkavSelf = va_arg(__ap, M_Lion*);",
                                "\tKAV_IgnoreWarning(__ap);",
                                "",
                                "\t*__retVal = ((kavTD_M_Lion_pride) __methodPtr) (kavSelf,ev);",
                                "}",
                                "",
                                "/* Using \"gatherStub\" apply stub for method \"gather\" */",
                                "",
                            }) +
                  comment("Generate dummy external for those stubs that are not declared in "
                          "this file.") +
                  lines({
                      "#ifndef gatherStubD",
                      "#define gatherStubD 1",
                      "KAVEXTERN kavMethodProc KAVLINK gatherStub;",
                      "#endif /* gatherStubD */",
                  }));
}

TEST_F(ApplyStubsEndToEnd, StubsReplaceMethodInformation) {
    EXPECT_EQ(lion.header.find("MethodInfo"), std::string::npos);
    EXPECT_EQ(lion.header.find("kavAP_helper"), std::string::npos) << "procedures get no stub";
}

class MethodInfoEndToEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { gauge = compile("method_info", {}); }
    static Compiled gauge;
};
Compiled MethodInfoEndToEnd::gauge;

TEST_F(MethodInfoEndToEnd, EveryNewMethodEndsWithItsRecords) {
    ASSERT_EQ(gauge.run.status, 0) << gauge.run.err;
    EXPECT_EQ(gauge.run.err, "");
    EXPECT_EQ(gauge.header.find(applyBanner), std::string::npos);
    EXPECT_EQ(gauge.header.find("kavAP_"), std::string::npos);

    const std::string expected[] = {
        // a double and a float after the object pointer and the environment
        lines({
            "#endif  /* kavDS_f_defined */",
            "",
            "static kavFloatMap fFloatMap = {",
            "8, 19, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, };",
            "",
            "static kavMethodInfo fMethodInfo = {1, 20, &fFloatMap};",
            "",
            "static kavApRdInfo fStubs = {0, 0, &fMethodInfo};",
        }),
        lines({
            "#endif  /* kavDS_level_defined */",
            "",
            "static kavMethodInfo levelMethodInfo = {4, 12, 0};",
            "",
            "static kavApRdInfo levelStubs = {0, 0, &levelMethodInfo};",
        }),
        // out and inout floats take room but no slot
        lines({
            "#endif  /* kavDS_tilt_defined */",
            "",
            "static kavMethodInfo tiltMethodInfo = {12, 20, 0};",
            "",
            "static kavApRdInfo tiltStubs = {0, 0, &tiltMethodInfo};",
        }),
        // a context clause adds a second implicit argument
        lines({
            "#endif  /* kavDS_scale_defined */",
            "",
            "static kavFloatMap scaleFloatMap = {",
            "15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, };",
            "",
            "static kavMethodInfo scaleMethodInfo = {3, 16, &scaleFloatMap};",
            "",
            "static kavApRdInfo scaleStubs = {0, 0, &scaleMethodInfo};",
        }),
        lines({
            "#endif  /* kavDS_reset_defined */",
            "",
            "static kavMethodInfo resetMethodInfo = {0, 8, 0};",
            "",
            "static kavApRdInfo resetStubs = {0, 0, &resetMethodInfo};",
        }),
    };
    for (const std::string& records : expected)
        EXPECT_NE(gauge.header.find(records), std::string::npos) << records << gauge.header;
}

TEST(MethodInfoWithNotc, NotcWritesStubsInsteadOfMethodInformation) {
    Compiled gauge = compile("method_info", {"-m", "notc"});
    ASSERT_EQ(gauge.run.status, 0) << gauge.run.err;
    EXPECT_EQ(gauge.header.find("MethodInfo"), std::string::npos);
    EXPECT_NE(gauge.header.find(applyBanner + "static void KAVLINK kavAP_f(Gauge *kavSelf,\n"),
              std::string::npos);
}

}  // namespace
