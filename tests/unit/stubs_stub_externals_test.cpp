// External declarations for stubs that methods name but the section does not define.
#include "stubs_fixture.h"

namespace {

using namespace stubs_testing;

const std::string externalsBanner =
    comment("Generate dummy external for those stubs that are not declared in this file.");

class StubExternalsTest : public StubsTest {
  protected:
    void SetUp() override {
        StubsTest::SetUp();
        kavtcreateStab(&registry, 167, sizeof(darurov::StubRecord));
    }
    void TearDown() override {
        kavtfreeStab(&registry);
        StubsTest::TearDown();
    }
    void add(const char* name, unsigned char definedHere) {
        darurov::StubRecord record{kavc::str(name), definedHere};
        kavtaddEntry(&registry, name, &record);
    }
    std::string externals() {
        return capture([&](FILE* out) { darurov::emitStubExternals(out, &registry); });
    }
    Stab registry{};
};

TEST_F(StubExternalsTest, EmptyRegistryWritesNothing) { EXPECT_EQ(externals(), ""); }

TEST_F(StubExternalsTest, StubsAllDefinedHereWriteOnlyTheBanner) {
    add("kavGAP_run", 1);
    add("moveStub", 1);
    EXPECT_EQ(externals(), externalsBanner);
}

TEST_F(StubExternalsTest, ClassPassDeclaresUnguardedInRegistryOrder) {
    startPass();
    add("zStub", 0);
    add("kavGAP_run", 1);
    add("aStub", 0);
    EXPECT_EQ(externals(), externalsBanner + lines({
                                                 "#define zStubD 1",
                                                 "KAVEXTERN kavMethodProc KAVLINK zStub;",
                                                 "#define aStubD 1",
                                                 "KAVEXTERN kavMethodProc KAVLINK aStub;",
                                             }));
}

TEST_F(StubExternalsTest, MetaclassPassGuardsEachDeclaration) {
    kavc::addMod(method("make"), "class");
    startPass();
    enterMetaclassPass();
    add("makeStub", 0);
    EXPECT_EQ(externals(), externalsBanner + lines({
                                                 "#ifndef makeStubD",
                                                 "#define makeStubD 1",
                                                 "KAVEXTERN kavMethodProc KAVLINK makeStub;",
                                                 "#endif /* makeStubD */",
                                             }));
    kavtuninitialiseMeta(cls);
}

}  // namespace
