// One whole pass: the sections follow each other in the header's order.
#include "header_fixture.h"
#include "driver/sections.h"

using namespace darurov;
using namespace header_testing;

namespace {

class SectionOrder : public HeaderTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SectionOrder, ClassPassWritesEverySectionInOrder) {
    if (GetParam()) options({"csc"});
    data("count");
    method("walk");
    kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavInit"), 12);
    classMethod("create");
    startPass(false, false);
    std::string text = capture([&](FILE* out) { EXPECT_EQ(emitClass(out, "animal", cls), out); });
    // Apply stubs come right before the new methods when the pass writes them (ZDL here).
    std::string applyStubs =
        pass.noApplyStubs ? "" : capture([&](FILE* out) { emitApplyStubs(out, cls); });
    EXPECT_EQ(applyStubs.empty(), !GetParam());
    std::size_t at = 0;
    for (const std::string& marker : std::initializer_list<std::string>{
             "\n#ifndef Animal_xih\n#define Animal_xih\n\n#include <kavcls.xh>\n",
             comment("Set the scope of methods functions"), "\n#define Animal_MaxNoMethods 1\n",
             comment("-- Instance Data") + "typedef struct {\n\tlong count;\n",
             comment("-- Primary Implementation File Support"),
             "KAVDLINK AnimalCClassData = {(kavMethodTabs) NULL};\n\n" + applyStubs +
                 comment("New Method: walk"),
             comment("Overridden method: kavInit"),
             comment("-- Routines and Structures to create the class object"),
             comment("Class Creation and Initialization"),
             "\n#endif /* Primary Implementation Support */\n"}) {
        std::size_t found = text.find(marker, at);
        ASSERT_NE(found, std::string::npos) << "missing after " << at << ":\n" << marker << text;
        at = found + marker.size();
    }
    EXPECT_EQ(text.substr(at), "\n#endif       /* Animal_xih */\n");
    EXPECT_EQ(text.find("kavMN_create"), std::string::npos);
    EXPECT_EQ(pass.deferred, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Languages, SectionOrder, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "zdl" : "idl"); });

}  // namespace
