// Destructor entry/exit macros, per-ancestor Init/DeInit and copy-initializer macros, and the
// checks of a shadow class.
#include "initializers_test_support.h"

using initializers_testing::LifecycleTest;
using testing_support::comment;
using testing_support::lines;

namespace {

const std::string entryComment = comment("Macros for initializer/destructor entry/exit");
const std::string ancestorComment = comment("Ancestor_Init/DeInit Macros");

std::string deInitOfB(const std::string& cls, int mask) {
    return lines({"#define " + cls + "_DeInit_B_kavDestruct(kavSelf, doFree, ctrl) \\",
                  "        if (myMask[" + std::to_string(mask) + "]&1) \\",
                  "           ((kavTD_KAVObject_kavDestruct) \\",
                  "               ctrl->info->defaultDestruct) \\",
                  "                   ((KAVObject *)((void *) kavSelf), 0, ctrl)"});
}

using AncestorMacrosTest = LifecycleTest;

TEST_F(AncestorMacrosTest, KavObjectAndBKeepTheirIndexesApart) {
    Entry* b = buildB(false);
    Entry* c = newClass("C", {b});
    kavc::addMod(c, "directinitclasses", "KAVObject,B");
    overrideRoot(c, "kavDefaultInit");
    overrideRoot(c, "kavDestruct");
    kavc::finishClass(c);
    setUpPass(c);

    EXPECT_EQ(macros(c),
              entryComment +
                  lines({"#define C_BeginInitializer_kavDefaultInit \\",
                         "   if (!ctrl) { \\",
                         "      ctrl = &globalCtrl; \\",
                         "      memcpy(ctrl,&(((kavParentMtabStructPtr)CCClassData.parentMtab)->initCtrl),sizeof(kavInitCtrl)); \\",
                         "   } \\",
                         "   myMask = ctrl->mask; \\",
                         "   ctrl->info = (kavInitInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\",
                         "   ctrl->mask += 2;",
                         "#define C_BeginDestructor \\",
                         "   if (!ctrl) { \\",
                         "      ctrl = &globalCtrl; \\",
                         "      memcpy(ctrl,&(((kavParentMtabStructPtr)CCClassData.parentMtab)->destructCtrl),sizeof(kavDestructCtrl)); \\",
                         "   } \\",
                         "   myMask = ctrl->mask; ",
                         "#define C_EndDestructor \\",
                         "   ctrl->info = (kavDestructInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\",
                         "   ctrl->mask += 2; \\",
                         "   C_DeInit_B_kavDestruct(kavSelf,0,ctrl); \\",
                         "   C_DeInit_KAVObject_kavDestruct(kavSelf,0,ctrl); \\",
                         "   if (doFree) _C->kavDeallocate((string)kavSelf);"}) +
                  ancestorComment +
                  lines({"",
                         "/* ...for KAVObject */",
                         "#define C_Init_KAVObject_kavDefaultInit(kavSelf, ctrl) \\",
                         "        if (myMask[0]&1) \\",
                         "        /* special case KAVObject */\\",
                         "        ctrl->info = (kavInitInfo*)(ctrl->infoSize + (char*)(ctrl->info));",
                         "#define C_DeInit_KAVObject_kavDestruct(kavSelf, doFree, ctrl) \\",
                         "        if (myMask[1]&1) \\",
                         "        /* special case KAVObject */\\",
                         "        ctrl->info = (kavDestructInfo*)(ctrl->infoSize + (char*)(ctrl->info));",
                         "",
                         "/* ...for B */",
                         "#define C_Init_B_kavDefaultInit(kavSelf, ctrl) \\",
                         "        if (myMask[1]&1) \\",
                         "           ((kavTD_KAVObject_kavDefaultInit) \\",
                         "               ctrl->info->defaultInit) \\",
                         "                   ((KAVObject *)((void *) kavSelf), ctrl)"}) +
                  deInitOfB("C", 0));
}

TEST_F(AncestorMacrosTest, DestructorWithInstanceDataSetsKavThisBeforeTheMask) {
    Entry* b = buildB(false);
    Entry* c = newClass("C", {b});
    overrideRoot(c, "kavDestruct");
    kavc::finishClass(c);
    setUpPass(c);
    darurov::pass.hasInstanceData = true;

    std::string text = macros(c);
    EXPECT_NE(text.find(lines({"   } \\", "   kavThis = (CData*)((char*)kavSelf + ctrl->info->dataOffset);\\",
                               "   myMask = ctrl->mask; ", "#define C_EndDestructor \\"})),
              std::string::npos)
        << text;
}

TEST_F(AncestorMacrosTest, NameThatIsNoAncestorKeepsItsPosition) {
    Entry* b = buildB(false);
    Entry* c = newClass("C", {b});
    kavc::addMod(c, "directinitclasses", "Zebra, B");  // a blank after the comma, too
    overrideRoot(c, "kavDestruct");
    kavc::finishClass(c);
    setUpPass(c);

    std::string text = macros(c);
    EXPECT_NE(text.find(lines({"   ctrl->mask += 2; \\", "   C_DeInit_B_kavDestruct(kavSelf,0,ctrl); \\",
                               "   if (doFree) _C->kavDeallocate((string)kavSelf);"})),
              std::string::npos)
        << text;
    // Only B, at position 1: its destructor bit is N-1-1 = 0.
    EXPECT_TRUE(text.ends_with(ancestorComment + lines({"", "/* ...for B */"}) + deInitOfB("C", 0))) << text;
    EXPECT_EQ(text.find("Zebra"), std::string::npos);
}

TEST_F(AncestorMacrosTest, DestructorOnlyClassGetsNoInitMacros) {
    Entry* b = buildB(true);
    Entry* c = newClass("C", {b});
    overrideRoot(c, "kavDestruct");
    kavc::finishClass(c);
    setUpPass(c);

    std::string text = macros(c);
    EXPECT_TRUE(text.ends_with(ancestorComment + lines({"", "/* ...for B */"}) + deInitOfB("C", 0))) << text;
    EXPECT_EQ(text.find("_Init_"), std::string::npos);
}

TEST_F(AncestorMacrosTest, ExplicitInitializersIndexTheAncestorsTable) {
    Entry* b = buildB(true);
    Entry* c = newClass("C", {b});
    kavc::addMod(c, "directinitclasses", "KAVObject,B");
    overrideRoot(c, "kavDefaultInit");
    kavc::finishClass(c);
    setUpPass(c);

    std::string text = macros(c);
    std::string forB = lines({"",
                              "/* ...for B */",
                              "#define C_Init_B_kavDefaultInit(kavSelf, ctrl) \\",
                              "        if (myMask[1]&1) \\",
                              "           ((kavTD_KAVObject_kavDefaultInit) \\",
                              "               ctrl->info->defaultInit) \\",
                              "                   ((KAVObject *)((void *) kavSelf), ctrl)",
                              "#define C_Init_B_x(kavSelf, ev, ctrl) \\",
                              "        if (myMask[1]&1) \\",
                              "           ((kavTD_B_x) \\",
                              "              ((kavParentMtabStructPtr)(BCClassData.parentMtab))->initializers[0]) \\",
                              "\t\t(kavSelf, ev, ctrl)",
                              "#define C_Init_B_y(kavSelf, ev, ctrl) \\",
                              "        if (myMask[1]&1) \\",
                              "           ((kavTD_B_y) \\",
                              "              ((kavParentMtabStructPtr)(BCClassData.parentMtab))->initializers[1]) \\",
                              "\t\t(kavSelf, ev, ctrl)"});
    EXPECT_TRUE(text.ends_with(forB)) << text;
    EXPECT_TRUE(kavc::messages().empty());
}

TEST_F(AncestorMacrosTest, CopyInitializerMacrosAreAskedForByNameAlone) {
    Entry* b = buildB(false);
    Entry* k = newClass("K", {kavObject(), b});
    Entry* copy = overrideRoot(k, "kavDefaultCopyInit");
    kavc::addMod(copy, "class");  // not of the class pass
    overrideRoot(k, "kavDefaultConstCopyInit");
    kavc::finishClass(k);
    setUpPass(k);

    std::string text = macros(k);
    std::string expected =
        comment("Ancestor_CopyInit Macros") +
        lines({"",
               "/* ...for KAVObject */",
               "#define K_Init_KAVObject_kavDefaultCopyInit(kavSelf, ctrl, fromObj) \\",
               "        if (myMask[0]&1) \\",
               "        /* special case KAVObject */\\",
               "        ctrl->info = (kavInitInfo*)(ctrl->infoSize + (char*)(ctrl->info));",
               "",
               "/* ...for B */",
               "#define K_Init_B_kavDefaultCopyInit(kavSelf, ctrl, fromObj) \\",
               "        if (myMask[1]&1) \\",
               "           ((kavTD_KAVObject_kavDefaultCopyInit) \\",
               "               ctrl->info->defaultNCArgCopyInit) \\",
               "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))"}) +
        comment("Ancestor_ConstCopyInit Macros") +
        lines({"",
               "/* ...for KAVObject */",
               "#define K_Init_KAVObject_kavDefaultConstCopyInit(kavSelf, ctrl, fromObj) \\",
               "        if (myMask[0]&1) \\",
               "        /* special case KAVObject */\\",
               "        ctrl->info = (kavInitInfo*)(ctrl->infoSize + (char*)(ctrl->info));",
               "",
               "/* ...for B */",
               "#define K_Init_B_kavDefaultConstCopyInit(kavSelf, ctrl, fromObj) \\",
               "        if (myMask[1]&1) \\",
               "           ((kavTD_KAVObject_kavDefaultConstCopyInit) \\",
               "               ctrl->info->defaultConstCopyInit) \\",
               "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))"});
    // Only the const copy initializer belongs to the class pass and gets an entry macro.
    EXPECT_EQ(text.find("K_BeginInitializer_kavDefaultCopyInit"), std::string::npos);
    EXPECT_NE(text.find("#define K_BeginInitializer_kavDefaultConstCopyInit \\\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with(expected)) << text;
}

// ---- shadow classes -------------------------------------------------------------------------

class ShadowTest : public LifecycleTest {
  protected:
    // S shadows B (initializers x and y) and overrides x only.
    std::string build(bool shadowedIsShadow) {
        Entry* b = newClass("B", {kavObject()});
        if (shadowedIsShadow) kavc::addMod(b, "shadow", "KAVObject");
        addInitializer(b, "x");
        addInitializer(b, "y");
        kavc::finishClass(b);
        Entry* s = newClass("S", {b});
        kavc::addMod(s, "shadow", "B");
        Entry* over = kavc::addOverride(s, kavc::findMethod(b, "x"), 8);
        kavc::addMod(over, "init");
        kavc::finishClass(s);
        setUpPass(s);
        testing::internal::CaptureStdout();
        std::string text = macros(s);
        printed = testing::internal::GetCapturedStdout();
        return text;
    }
    std::string printed;
};

const std::string shadowInitMacros =
    lines({"#define S_Init_B_x(kavSelf, ev, ctrl) \\",
           "        if (myMask[0]&1) \\",
           "           ((kavTD_B_x) \\",
           "              _S->_get_kavDirectInitClasses()._buffer[0]->\\",
           "                  kavFindSMethodOk(kavIdFromString(\"B::x\")))\\",
           "\t\t(kavSelf, ev, ctrl)",
           "#define S_Init_B_y(kavSelf, ev, ctrl) \\",
           "        if (myMask[0]&1) \\",
           "           ((kavTD_B_y) \\",
           "              _S->_get_kavDirectInitClasses()._buffer[0]->\\",
           "                  kavFindSMethodOk(kavIdFromString(\"B::y\")))\\",
           "\t\t(kavSelf, ev, ctrl)"});

TEST_F(ShadowTest, MissingOverrideIsReportedAndTheMacrosAreStillWritten) {
    std::string text = build(false);
    EXPECT_EQ(printed, "error -- shadow class S must override parent initializer B::y\n");
    ASSERT_EQ(kavc::messages().size(), 1u);
    EXPECT_NE(kavc::messages()[0].find(": error: "), std::string::npos) << kavc::messages()[0];
    EXPECT_TRUE(kavc::messages()[0].ends_with("[33]")) << kavc::messages()[0];
    EXPECT_TRUE(text.ends_with(shadowInitMacros)) << text;
    // S's own initializer x is its entry macro.
    EXPECT_NE(text.find("#define S_BeginInitializer_x \\\n"), std::string::npos);
}

TEST_F(ShadowTest, ShadowingAShadowClassIsReportedFirst) {
    std::string text = build(true);
    EXPECT_EQ(printed, lines({"error -- class S cannot shadow the shadow class B",
                              "error -- shadow class S must override parent initializer B::y"}));
    ASSERT_EQ(kavc::messages().size(), 2u);
    for (const std::string& message : kavc::messages())
        EXPECT_TRUE(message.ends_with("[33]")) << message;
    EXPECT_EQ(kavc::errorCount(), 2);
    EXPECT_TRUE(text.ends_with(shadowInitMacros)) << text;
}

}  // namespace
