// Per-ancestor DeInit and copy-initializer macros, and the checks of a shadow class.
#include "initializers_test_support.h"

using namespace initializers_testing;

namespace {

using AncestorMacrosTest = LifecycleTest;

// "Zebra" is no ancestor but keeps its position: N is 2, and B (position 1) gets no Init
// macros in a destructor-only class, only DeInit with mask index N-1-1 = 0.
TEST_F(AncestorMacrosTest, DestructorOnlyClassWithANonAncestorName) {
    Entry* c = newClass("C", {buildB()});
    kavc::addMod(c, "directinitclasses", "Zebra, B");
    overrideRoot(c, {"kavDestruct"});

    std::string text = macros(c);
    EXPECT_TRUE(text.ends_with(lines({"   ctrl->mask += 2; \\",
                                      "   C_DeInit_B_kavDestruct(kavSelf,0,ctrl); \\",
                                      "   if (doFree) _C->kavDeallocate((string)kavSelf);"}) +
                               ancestorComment +
                               lines({"",
                                      "/* ...for B */",
                                      "#define C_DeInit_B_kavDestruct(kavSelf, doFree, ctrl) \\",
                                      "        if (myMask[0]&1) \\",
                                      "           ((kavTD_KAVObject_kavDestruct) \\",
                                      "               ctrl->info->defaultDestruct) \\",
                                      "                   ((KAVObject *)((void *) kavSelf), 0, ctrl)"})))
        << text;
    EXPECT_EQ(text.find("Zebra"), std::string::npos);
}

// The copy initializer is "class" (the other pass), yet its name alone asks for the macros.
TEST_F(AncestorMacrosTest, CopyInitializerMacrosAreAskedForByNameAlone) {
    Entry* k = newClass("K", {kavObject(), buildB()});
    kavc::addMod(overrideRoot(k, {"kavDefaultCopyInit"}), "class");
    overrideRoot(k, {"kavDefaultConstCopyInit"});

    std::string text = macros(k);
    EXPECT_EQ(text.find("K_BeginInitializer_kavDefaultCopyInit"), std::string::npos);
    EXPECT_TRUE(text.ends_with(
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
               "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))"})))
        << text;
}

// S shadows B, itself a shadow class with initializers x and y, and overrides x only: both
// errors, in order, text first; the macros are still written, through the direct-init classes.
TEST_F(AncestorMacrosTest, ShadowingErrorsInOrderAndMacrosStillWritten) {
    Entry* b = newClass("B", {kavObject()});
    kavc::addMod(b, "shadow", "KAVObject");
    addInitializer(b, "x");
    addInitializer(b, "y");
    kavc::finishClass(b);
    Entry* s = newClass("S", {b});
    kavc::addMod(s, "shadow", "B");
    kavc::addMod(kavc::addOverride(s, kavc::findMethod(b, "x"), 8), "init");

    testing::internal::CaptureStdout();
    std::string text = macros(s);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              lines({"error -- class S cannot shadow the shadow class B",
                     "error -- shadow class S must override parent initializer B::y"}));
    ASSERT_EQ(kavc::messages().size(), 2u);
    for (const std::string& message : kavc::messages())
        EXPECT_TRUE(message.find(": error: ") != std::string::npos && message.ends_with("[33]")) << message;
    for (const std::string m : {"x", "y"})
        EXPECT_NE(text.find(lines({"#define S_Init_B_" + m + "(kavSelf, ev, ctrl) \\", "        if (myMask[0]&1) \\",
                                   "           ((kavTD_B_" + m + ") \\",
                                   "              _S->_get_kavDirectInitClasses()._buffer[0]->\\",
                                   "                  kavFindSMethodOk(kavIdFromString(\"B::" + m + "\")))\\",
                                   "\t\t(kavSelf, ev, ctrl)"})),
                  std::string::npos)
            << text;
}

}  // namespace
