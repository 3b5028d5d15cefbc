// The class-object banner, <Class>NewClass with its parent mask and static references,
// parent resolution, attribute stubs, the lifecycle macros and the closing lines.
#include "header_fixture.h"
#include "initializers/initializers.h"
#include "parents/parents.h"

using namespace darurov;
using namespace header_testing;

namespace {

const std::string routineBanner = comment("Class Creation and Initialization");
const std::string routineEnd = "    return result;\n}\n";

std::string routineHead(const std::string& metaclass, const std::string& c) {
    return routineBanner +
           lines({"", "WIN32_DLLEXPORT " + metaclass + " * KAVLINK " + c +
                          "NewClass (integer4 kavntmajorVersion,",
                  "\t\tinteger4 kavntminorVersion)", "{", "    " + metaclass + " *result;"});
}
std::string staticReference(const std::string& name) {
    return "    " + name + "NewClass(" + name + "_MajorVersion," + name +
           "_MinorVersion);\t/* static reference */\n";
}
std::string build(const std::string& metaclass, int mask, const std::string& c) {
    return "    result = (" + metaclass + "*) ((void*)(kavBuildClass(" + std::to_string(mask) +
           ",&" + c + "SCI, kavntmajorVersion, kavntminorVersion)));\n";
}

// The routine inside the pass's last third, from its banner to its closing brace.
std::string routineOf(const std::string& text) {
    std::size_t from = text.find(routineBanner);
    std::size_t to = text.find(routineEnd, from);
    if (from == std::string::npos || to == std::string::npos) return "(no routine in)\n" + text;
    return text.substr(from, to + routineEnd.size() - from);
}

class ClassCreationTest : public HeaderTest {
  protected:
    std::string write(InheritedMethodList inherited = nullptr) {
        return capture([&](FILE* out) { writeClassCreation(out, cls, inherited); });
    }
    Entry* parentClass(const char* name) {
        Entry* p = kavc::newClass(name, {}, nullptr, 2);
        kavc::finishClass(p);
        return p;
    }
};

struct ParentCase {
    const char* label;
    // parent name, modifier on the reference ("" for none)
    std::vector<std::pair<const char*, const char*>> parents;
    std::vector<const char*> referenced;
    int mask;
};

class ParentMask : public ClassCreationTest, public ::testing::WithParamInterface<ParentCase> {};

TEST_P(ParentMask, ReferencesParentsAndBuildsTheMask) {
    const ParentCase& c = GetParam();
    cls = kavc::newClass("Pet", {}, nullptr, 3);
    for (auto [name, mod] : c.parents) {
        Entry* parent = kavc::findClass(name) ? kavc::findClass(name) : parentClass(name);
        Entry* ref = kavc::addParent(cls, parent, 3);
        if (*mod) kavc::addMod(ref, mod);
    }
    startPass();
    std::string expected = routineHead("KAVClass", "Pet");
    for (const char* name : c.referenced) expected += staticReference(name);
    expected += build("KAVClass", c.mask, "Pet") + routineEnd;
    EXPECT_EQ(routineOf(write()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, ParentMask,
    ::testing::Values(
        ParentCase{"noParents", {}, {}, 1},
        ParentCase{"root", {{"KAVObject", ""}}, {"KAVObject"}, 1},
        ParentCase{"twoParents", {{"A", ""}, {"B", ""}}, {"A", "B"}, 3},
        ParentCase{"firstAbstract", {{"A", "abstract"}, {"B", ""}}, {"A", "B"}, 2},
        ParentCase{"nolinkStillCounts", {{"A", "nolink"}, {"B", ""}}, {"B"}, 3},
        ParentCase{"nolinkAbstract", {{"A", "nolink"}, {"B", "abstract"}}, {"B"}, 1},
        // A repeated parent takes no position: its bit lands on the next parent's.
        ParentCase{"repeatedParent", {{"A", ""}, {"A", ""}, {"B", "abstract"}}, {"A", "B"}, 3},
        ParentCase{"repeatedAbstract", {{"A", ""}, {"A", "abstract"}, {"B", "abstract"}},
                   {"A", "B"}, 1}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ClassCreationTest, ManyParentsWrapTheMaskAtThirtyTwo) {
    cls = kavc::newClass("Pet", {}, nullptr, 3);
    std::string references;
    for (int i = 0; i < 33; ++i) {
        std::string name = "P" + std::to_string(i);
        Entry* ref = kavc::addParent(cls, parentClass(name.c_str()), 3);
        if (i != 0 && i != 31) kavc::addMod(ref, "abstract");
        references += staticReference(name);
    }
    startPass();
    // Bits 0 and 31; the 33rd parent is abstract, so bit 0 is not touched again.
    EXPECT_EQ(routineOf(write()), routineHead("KAVClass", "Pet") + references +
                                      build("KAVClass", static_cast<int>(0x80000001u), "Pet") +
                                      routineEnd);
}

TEST_F(ClassCreationTest, ExplicitMetaclassIsReferenced) {
    Entry* meta = kavc::newClass("AnimalMeta", {}, nullptr, 1);
    kavc::addParent(meta, kavtkavcls, 1);
    kavc::finishClass(meta);
    kavc::setMetaclass(cls, meta);
    startPass();
    EXPECT_EQ(routineOf(write()), routineHead("AnimalMeta", "Animal") +
                                      staticReference("KAVObject") +
                                      "    /* Explicit metaclass, so get it */ \n" +
                                      staticReference("AnimalMeta") +
                                      build("AnimalMeta", 1, "Animal") + routineEnd);
}

TEST_F(ClassCreationTest, NolinkMetaclassIsOnlyNamed) {
    Entry* meta = kavc::newClass("AnimalMeta", {}, nullptr, 1);
    kavc::addParent(meta, kavtkavcls, 1);
    kavc::finishClass(meta);
    kavc::addMod(meta, "nolink");
    kavc::setMetaclass(cls, meta);
    startPass();
    EXPECT_EQ(routineOf(write()), routineHead("AnimalMeta", "Animal") +
                                      staticReference("KAVObject") +
                                      build("AnimalMeta", 1, "Animal") + routineEnd);
}

TEST_F(ClassCreationTest, DrainsDeferredResolutionsMostRecentFirst) {
    Entry* feed = method("feed");
    kavc::finishClass(cls);
    Entry* base = cls;
    cls = kavc::newClass("Pet", {}, nullptr, 3);
    kavc::addParent(cls, base, 3);
    Entry* overrideFeed = kavc::addOverride(cls, feed, 4);
    Entry* overrideInit = kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavInit"), 5);
    startPass();
    InheritedMethodList inherited = nullptr;
    capture([&](FILE* out) { inherited = writeOverriddenMethods(out, cls); });
    ASSERT_NE(deferredResolutions, nullptr);
    std::string text = write(inherited);
    releaseMethodList(inherited);
    std::string resolutions = capture([&](FILE* out) {
        emitParentResolution(out, cls, "KAVObject", overrideInit);
        emitParentResolution(out, cls, "Animal", overrideFeed);
    });
    EXPECT_EQ(routineOf(text), routineHead("KAVClass", "Pet") + staticReference("Animal") +
                                   build("KAVClass", 1, "Pet") + resolutions + routineEnd);
    EXPECT_EQ(deferredResolutions, nullptr);
}

TEST_F(ClassCreationTest, FramesTheTablesAndClosesBothBlocks) {
    kavc::addAttribute(cls, "size", kavc::basicType("long"), false, 6);
    startPass();
    std::string text = write();
    std::string opening = comment("-- Routines and Structures to create the class object") + "\n";
    EXPECT_EQ(text.rfind(opening, 0), 0u) << text;
    std::string closing = lines({"", "#endif /* Primary Implementation Support */", "",
                                 "#endif       /* Animal_xih */"});
    ASSERT_GE(text.size(), closing.size());
    EXPECT_EQ(text.substr(text.size() - closing.size()), closing);
    // Between the routine and the closing lines: attribute stubs, then the lifecycle macros.
    std::string afterRoutine = capture([&](FILE* out) {
        kavtgenAttStubs(out, cls, pass.externalPrefix, pass.classPrefix);
        emitInitializerMacros(out, cls);
    });
    ASSERT_FALSE(afterRoutine.empty());
    std::size_t routineEndsAt = text.find(routineEnd) + routineEnd.size();
    EXPECT_EQ(text.substr(routineEndsAt, text.size() - closing.size() - routineEndsAt),
              afterRoutine);
}

TEST_F(ClassCreationTest, MetaclassPassNamesTheMetaclass) {
    classMethod("create");
    startPass(true);
    std::string text = write();
    EXPECT_EQ(routineOf(text), routineHead("KAVClass", "M_Animal") + staticReference("KAVClass") +
                                   build("KAVClass", 1, "M_Animal") + routineEnd);
    std::string closing = lines({"", "#endif       /* M_Animal_mxih */"});
    EXPECT_EQ(text.substr(text.size() - closing.size()), closing);
}

}  // namespace
