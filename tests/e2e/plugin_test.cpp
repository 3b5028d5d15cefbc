// The plug-in as the host loads it: its exports, and `emit` called through dlsym.
#include "kc_run.h"

#include <dlfcn.h>

#include <functional>

using namespace testing_support;

namespace {

using EmitFn = FILE* (*)(const char*, Entry*, Stab*);

TEST(PluginExports, EmitIsTheOnlyDefinedDynamicSymbol) {
    std::string symbols = kc_e2e::runProgram({"/bin/sh", "-c", "nm -D --defined-only '" PLUGIN_PATH "'"}, ".").out;
    ASSERT_FALSE(symbols.empty()) << "nm printed nothing for " PLUGIN_PATH;
    std::istringstream in(symbols);
    std::string address, kind, name;
    std::vector<std::string> names;
    while (in >> address >> kind >> name) names.push_back(name + " (" + kind + ")");
    EXPECT_EQ(names, (std::vector<std::string>{"emit (T)"}));
}

class LoadedPlugin : public HostTest {
  protected:
    void* handle = nullptr;
    EmitFn emit = nullptr;
    void SetUp() override {
        HostTest::SetUp();
        handle = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        emit = reinterpret_cast<EmitFn>(dlsym(handle, "emit"));
        ASSERT_NE(emit, nullptr);
        kavc::setEmitter(emit);
        kavc::captureOutput();
        kavtCPP = 0;
    }
    void TearDown() override {
        if (handle) dlclose(handle);
        HostTest::TearDown();
    }
};

// The text of both passes, each under its own guard and policy comment: the golden headers.
TEST_F(LoadedPlugin, ImplicitMetaclassGetsASecondPassIntoTheSameStream) {
    for (bool classMethod : {false, true}) {
        kavc::reset();
        kavc::captureOutput();
        Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
        kavc::addMethod(cls, "talk", kavc::basicType("void"), 2);
        if (classMethod) kavc::addMod(kavc::addMethod(cls, "census", kavc::basicType("long"), 3), "class");
        kavc::finishClass(cls);
        ASSERT_NE(emit("animal", cls, kavc::unitStab()), nullptr);
        const std::string text = kavc::capturedText();
        EXPECT_EQ(kavtCPP, 1);
        const size_t guard = text.find("#ifndef Animal_xih");  // once
        EXPECT_TRUE(guard != std::string::npos && guard == text.rfind("#ifndef Animal_xih")) << text;
        const size_t metaGuard = text.find("#ifndef M_Animal_mxih");
        EXPECT_EQ(metaGuard != std::string::npos, classMethod);
        if (classMethod) {
            EXPECT_LT(text.find("#endif       /* Animal_xih */"), metaGuard);
        }
        EXPECT_STREQ(cls->name, "Animal");  // the host shows the class again after the passes
        EXPECT_EQ(kavtmeta, 0);
    }
}

TEST_F(LoadedPlugin, ModuleIsHandedBackToTheHost) {
    Entry* zoo = kavc::newModule("Zoo", {}, nullptr, 1);
    Entry* cls = kavc::newClass("Animal", {"Zoo"}, zoo, 2);
    kavc::finishClass(cls);
    FILE* out = emit("zoo", zoo, kavc::unitStab());
    EXPECT_NE(out, nullptr);
    EXPECT_EQ(kavtCPP, 1);
    EXPECT_NE(kavc::capturedText().find("Zoo_Animal_xih"), std::string::npos);
}

TEST_F(LoadedPlugin, OtherEntriesYieldNothing) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    Entry* talk = kavc::addMethod(cls, "talk", kavc::basicType("void"), 2);
    kavc::finishClass(cls);
    EXPECT_EQ(emit("animal", talk, kavc::unitStab()), nullptr);
    EXPECT_EQ(kavtCPP, 1);
    EXPECT_EQ(kavc::capturedText(), "");
}

// What the host should never hand over is reported as a host error, not followed into a crash.
TEST_F(LoadedPlugin, MalformedInputIsReportedNotFollowed) {
    struct Case {
        const char* handed;
        std::function<Entry*()> make;  // the entry; null for none
        const char* stem;
        bool stab;
    };
    auto fresh = [] {
        Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
        kavc::addMethod(cls, "talk", kavc::basicType("void"), 2);
        kavc::finishClass(cls);
        return cls;
    };
    const Case cases[] = {
        {"no entry", [] { return nullptr; }, "animal", true},
        {"no file stem", fresh, nullptr, true},
        {"no symbol table", fresh, "animal", false},
        {"a class without a name", [&] { Entry* c = fresh(); c->name = nullptr; return c; }, "animal", true},
        {"a method without a name", [&] { Entry* c = fresh(); c->methods->name = nullptr; return c; }, "animal", true},
        {"a parent reference without a class",
         [&] {
             Entry* c = fresh();
             kavc::addParent(c, kavc::findClass("KAVObject"), 1)->cls = nullptr;
             return c;
         },
         "animal", true},
        {"an inherited method without a name",
         [&] {
             Entry* base = fresh();
             Entry* c = kavc::newClass("Dog", {}, nullptr, 3);
             kavc::addParent(c, base, 3);
             kavc::finishClass(c);
             base->methods->name = nullptr;  // an ancestor's method
             return c;
         },
         "dog", true},
    };
    for (const Case& c : cases) {
        int errors = kavc::errorCount();
        EXPECT_EQ(emit(c.stem, c.make(), c.stab ? kavc::unitStab() : nullptr), nullptr) << c.handed;
        EXPECT_EQ(kavc::errorCount(), errors + 1) << c.handed;
        EXPECT_NE(kavc::messages().back().find(std::string("internal error: the emitter was handed ") + c.handed +
                                               " [1]"),
                  std::string::npos)
            << kavc::messages().back();
    }
    EXPECT_EQ(kavc::capturedText(), "") << "nothing is written";
}

// Type codes are built for IDL classes only, and not with "notc".
TEST_F(LoadedPlugin, TypeCodesBuiltOnlyForIdlClassesWithoutNotc) {
    const std::pair<std::vector<const char*>, bool> cases[] = {
        {{}, true}, {{"notc"}, false}, {{"csc"}, false}, {{"csc", "notc"}, false}, {{"kavboot"}, true}};
    for (const auto& [options, built] : cases) {
        kavc::reset();
        kavc::captureOutput();
        for (const char* option : options) kavc::setOption(option, nullptr);
        Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
        Entry* talk = kavc::addMethod(cls, "talk", kavc::basicType("long"), 2);
        kavc::finishClass(cls);
        emit("animal", cls, kavc::unitStab());
        EXPECT_EQ(talk->typeCode != nullptr, built) << testing::PrintToString(options);
    }
}

}  // namespace
