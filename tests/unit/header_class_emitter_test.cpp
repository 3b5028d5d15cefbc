// One whole pass: the sections follow each other in the header's order.
#include "header_fixture.h"
#include "stubs/stubs.h"

using namespace darurov;
using namespace header_testing;

namespace {

class ClassEmitterTest : public HeaderTest {
  protected:
    // Positions of the markers in `text`; each must follow the previous one.
    static void expectInOrder(const std::string& text, const std::vector<std::string>& markers) {
        std::size_t at = 0;
        for (const std::string& marker : markers) {
            std::size_t found = text.find(marker, at);
            ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ":\n"
                                                << marker << "\n--- in ---\n"
                                                << text;
            at = found + marker.size();
        }
    }
    std::string emitPass(bool metaclass) {
        startPass(metaclass, false);
        return capture([&](FILE* out) { EXPECT_EQ(emitClass(out, "animal", cls), out); });
    }
    void buildAnimal() {
        data("count");
        Entry* walk = method("walk");
        param(walk, "steps", "long");
        kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavInit"), 12);
        classMethod("create");
        kavc::addMod(data("instances"), "class");
    }
};

struct OrderCase {
    const char* label;
    std::vector<const char*> options;
};

class SectionOrder : public ClassEmitterTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(SectionOrder, ClassPassWritesEverySectionInOrder) {
    options(GetParam().options);
    buildAnimal();
    std::string text = emitPass(false);
    std::string applyStubs;
    if (!pass.noApplyStubs) {
        // What the apply-stub section writes for this class, at its place.
        applyStubs = capture([&](FILE* out) { emitApplyStubs(out, cls); });
    }
    expectInOrder(text, {"\n#ifndef Animal_xih\n#define Animal_xih\n\n#include <kavcls.xh>\n",
                         comment("Set the scope of methods functions"),
                         "\n#define Animal_MaxNoMethods 1\n",
                         comment("-- Instance Data") + "typedef struct {\n\tlong count;\n",
                         comment("-- Primary Implementation File Support"),
                         "KAVDLINK AnimalCClassData = {(kavMethodTabs) NULL};\n\n" + applyStubs +
                             comment("New Method: walk"),
                         comment("Overridden method: kavInit"),
                         comment("-- Routines and Structures to create the class object"),
                         comment("Class Creation and Initialization"),
                         "\n#endif /* Primary Implementation Support */\n",
                         "\n#endif       /* Animal_xih */\n"});
    EXPECT_EQ(text.find("kavMN_create"), std::string::npos);
    const std::string last = "\n#endif       /* Animal_xih */\n";
    EXPECT_TRUE(text.size() >= last.size() && text.substr(text.size() - last.size()) == last);
    EXPECT_EQ(deferredResolutions, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Variants, SectionOrder,
                         ::testing::Values(OrderCase{"idl", {}}, OrderCase{"idlNotc", {"notc"}},
                                           OrderCase{"zdl", {"csc"}},
                                           OrderCase{"zdlNoapstubs", {"csc", "noapstubs"}}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
