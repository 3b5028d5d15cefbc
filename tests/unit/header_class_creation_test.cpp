// <Class>NewClass with its parent mask and static references, parent resolution, and the
// closing lines.
#include "header_fixture.h"

using namespace darurov;
using namespace header_testing;

namespace {

std::string staticReference(const std::string& name) {
    return "    " + name + "NewClass(" + name + "_MajorVersion," + name +
           "_MinorVersion);\t/* static reference */\n";
}

enum class Metaclass { none, linked, nolink, implicit };
struct ParentCase {
    const char* label;
    std::vector<std::pair<const char*, const char*>> parents;  // name, modifier or ""
    std::vector<const char*> referenced;
    int mask;
    Metaclass metaclass = Metaclass::none;
};

class ClassCreation : public HeaderTest, public ::testing::WithParamInterface<ParentCase> {};

TEST_P(ClassCreation, FramesTheRoutineThatBuildsTheClass) {
    const ParentCase& c = GetParam();
    cls = kavc::newClass("Pet", {}, nullptr, 3);
    for (auto [name, mod] : c.parents) {
        Entry* parent = kavc::findClass(name);
        if (!parent) kavc::finishClass(parent = kavc::newClass(name, {}, nullptr, 2));
        Entry* ref = kavc::addParent(cls, parent, 3);
        if (*mod) kavc::addMod(ref, mod);
    }
    kavc::addAttribute(cls, "size", kavc::basicType("long"), false, 6);
    std::string metaclass = "KAVClass", references;
    for (const char* name : c.referenced) references += staticReference(name);
    if (c.metaclass == Metaclass::linked || c.metaclass == Metaclass::nolink) {
        Entry* meta = explicitMetaclass();
        kavc::setMetaclass(cls, meta);
        metaclass = meta->name;
        if (c.metaclass == Metaclass::nolink)
            kavc::addMod(meta, "nolink");
        else
            references += "    /* Explicit metaclass, so get it */ \n" + staticReference(metaclass);
    }
    bool metaclassPass = c.metaclass == Metaclass::implicit;
    if (metaclassPass) classMethod("create");
    startPass(metaclassPass);
    std::string text = capture([&](FILE* out) { writeNewClassRoutine(out, cls); });
    std::string name = metaclassPass ? "M_Pet" : "Pet";
    EXPECT_EQ(text, comment("Class Creation and Initialization") +
                        lines({"", "WIN32_DLLEXPORT " + metaclass + " * KAVLINK " + name +
                                       "NewClass (integer4 kavntmajorVersion,",
                               "\t\tinteger4 kavntminorVersion)", "{",
                               "    " + metaclass + " *result;"}) +
                        references + "    result = (" + metaclass +
                        "*) ((void*)(kavBuildClass(" + std::to_string(c.mask) + ",&" + name +
                        "SCI, kavntmajorVersion, kavntminorVersion)));\n" +
                        "    return result;\n}\n");
    // The closing lines name the guard the prologue opened.
    EXPECT_EQ(section(writeEpilogue),
              lines({"", "#endif /* Primary Implementation Support */", "",
                     "#endif       /* " + name + (metaclassPass ? "_mxih" : "_xih") + " */"}));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, ClassCreation,
    ::testing::Values(
        ParentCase{"noParents", {}, {}, 1},
        ParentCase{"twoParents", {{"A", ""}, {"B", ""}}, {"A", "B"}, 3},
        ParentCase{"firstAbstract", {{"A", "abstract"}, {"B", ""}}, {"A", "B"}, 2},
        ParentCase{"nolinkStillCounts", {{"A", "nolink"}, {"B", ""}}, {"B"}, 3},
        // A repeated parent takes no position: its bit lands on the next parent's.
        ParentCase{"repeatedParent", {{"A", ""}, {"A", ""}, {"B", "abstract"}}, {"A", "B"}, 3},
        ParentCase{"repeatedAbstract", {{"A", ""}, {"A", "abstract"}, {"B", "abstract"}},
                   {"A", "B"}, 1},
        ParentCase{"explicitMetaclass", {{"KAVObject", ""}}, {"KAVObject"}, 1, Metaclass::linked},
        ParentCase{"nolinkMetaclass", {{"KAVObject", ""}}, {"KAVObject"}, 1, Metaclass::nolink},
        ParentCase{"metaclassPass", {{"KAVObject", ""}}, {"KAVClass"}, 1, Metaclass::implicit}),
    byLabel);

class ClassCreationTest : public HeaderTest {};

TEST_F(ClassCreationTest, ResolvesDeferredParentsMostRecentFirst) {
    Entry* getClass = kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavGetClass"), 4);
    Entry* getSize = kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavGetSize"), 5);
    startPass();
    deferParentResolution(cls, "KAVObject", getClass);
    deferParentResolution(cls, "KAVObject", getSize);
    std::string resolutions = capture([&](FILE* out) {
        emitParentResolution(out, cls, "KAVObject", getSize);
        emitParentResolution(out, cls, "KAVObject", getClass);
    });
    ASSERT_FALSE(resolutions.empty());
    std::string text = capture([&](FILE* out) { writeNewClassRoutine(out, cls); });
    EXPECT_NE(text.find("kavntminorVersion)));\n" + resolutions + "    return result;\n}\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(pass.deferred, nullptr);
}

}  // namespace
