// The direct-init class list and the whole lifecycle section: assignment, initializer and
// destructor entry macros and the per-ancestor macros they index.
#include "initializers_test_support.h"

using namespace initializers_testing;

namespace {

using DirectInitListTest = LifecycleTest;

// Without "directinitclasses" the list joins the parents' simple names.
TEST_F(DirectInitListTest, ParentSimpleNamesJoinedWithoutBlanks) {
    Entry* a = newClass("A", {kavObject()});
    kavc::finishClass(a);
    Entry* b = kavc::newClass("B", {"Zoo"}, nullptr, 1);
    kavc::addParent(b, kavObject(), 1);
    kavc::finishClass(b);
    Entry* c = newClass("C", {a, b});
    kavc::finishClass(c);
    setUpPass(c);
    EXPECT_EQ(darurov::directInitClassList(c), "A,B");  // the simple name of ::Zoo::B
    EXPECT_EQ(darurov::directInitClassList(kavObject()), "");
    b->scopedName = nullptr;  // listed by its name
    EXPECT_EQ(darurov::directInitClassList(c), "A,B");
}

using LifecycleSectionTest = LifecycleTest;

// Direct-init classes KAVObject and B (initializers x, y): the mask index is the position i
// for Init and N-i-1 for DeInit, the initializers table index is j; the exit macro calls B's
// DeInit first. Three assignment methods share one entry macro; the class's own initializer
// names its control parameter and asks for the ancestor Init macros.
TEST_F(LifecycleSectionTest, KavObjectAndBKeepTheirIndexesApart) {
    Entry* c = newClass("C", {buildB()});
    kavc::addMod(c, "directinitclasses", "KAVObject,B");
    overrideRoot(c, {"kavDefaultAssign", "kavDefaultConstAssign", "kavDefaultVAssign", "kavDestruct"});
    addInitializer(c, "withSize", "myCtrl");

    EXPECT_EQ(macros(c, true),
              comment("Macro for assignmentOp entry") +
                  lines({"#define C_BeginAssignmentOp \\",
                         "   if (!ctrl) { \\",
                         "      ctrl = &globalCtrl;\\",
                         "      memcpy(ctrl,&(((kavParentMtabStructPtr)CCClassData.parentMtab)->assignCtrl),sizeof(kavAssignCtrl)); \\",
                         "   } \\",
                         "   myMask = ctrl->mask; \\",
                         "   kavThis = (CData*)((char*)kavSelf + ctrl->info->dataOffset);\\",
                         "   ctrl->info = (kavAssignInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\",
                         "   ctrl->mask += 2;"}) +
                  comment("Ancestor_AssignmentOp Macros") +
                  lines({"",
                         "/* ...for KAVObject */",
                         "#define C_Assign_KAVObject_kavDefaultAssign(kavSelf, ctrl, fromObj) \\",
                         "        if (myMask[0]&1) \\",
                         "        /* special case KAVObject */\\",
                         "        ctrl->info = (kavAssignInfo*)(ctrl->infoSize + (char*)(ctrl->info));",
                         "#define C_Assign_KAVObject_kavDefaultConstAssign(kavSelf, ctrl, fromObj) \\",
                         "        if (myMask[0]&1) \\",
                         "        /* special case KAVObject */\\",
                         "        ctrl->info = (kavAssignInfo*)(ctrl->infoSize + (char*)(ctrl->info));",
                         "",
                         "/* ...for B */",
                         "#define C_Assign_B_kavDefaultAssign(kavSelf, ctrl, fromObj) \\",
                         "        if (myMask[1]&1) \\",
                         "           ((kavTD_KAVObject_kavDefaultAssign) \\",
                         "               ctrl->info->defaultNCArgAssign) \\",
                         "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))",
                         "#define C_Assign_B_kavDefaultConstAssign(kavSelf, ctrl, fromObj) \\",
                         "        if (myMask[1]&1) \\",
                         "           ((kavTD_KAVObject_kavDefaultAssign) \\",
                         "               ctrl->info->defaultConstAssign) \\",
                         "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))"}) +
                  comment("Macros for initializer/destructor entry/exit") +
                  lines({"#define C_BeginDestructor \\",
                         "   if (!ctrl) { \\",
                         "      ctrl = &globalCtrl; \\",
                         "      memcpy(ctrl,&(((kavParentMtabStructPtr)CCClassData.parentMtab)->destructCtrl),sizeof(kavDestructCtrl)); \\",
                         "   } \\",
                         "   kavThis = (CData*)((char*)kavSelf + ctrl->info->dataOffset);\\",
                         "   myMask = ctrl->mask; ",
                         "#define C_EndDestructor \\",
                         "   ctrl->info = (kavDestructInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\",
                         "   ctrl->mask += 2; \\",
                         "   C_DeInit_B_kavDestruct(kavSelf,0,ctrl); \\",
                         "   C_DeInit_KAVObject_kavDestruct(kavSelf,0,ctrl); \\",
                         "   if (doFree) _C->kavDeallocate((string)kavSelf);",
                         "#define C_BeginInitializer_withSize \\",
                         "   if (!myCtrl) { \\",
                         "      myCtrl = &globalCtrl; \\",
                         "      memcpy(ctrl,&(((kavParentMtabStructPtr)CCClassData.parentMtab)->initCtrl),sizeof(kavInitCtrl)); \\",
                         "   } \\",
                         "   myMask = myCtrl->mask; \\",
                         "   kavThis = (CData*)((char*)kavSelf + myCtrl->info->dataOffset);\\",
                         "   myCtrl->info = (kavInitInfo*)(myCtrl->infoSize + (char*)(myCtrl->info)); \\",
                         "   myCtrl->mask += 2;"}) +
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
                         "\t\t(kavSelf, ev, ctrl)",
                         "#define C_DeInit_B_kavDestruct(kavSelf, doFree, ctrl) \\",
                         "        if (myMask[0]&1) \\",
                         "           ((kavTD_KAVObject_kavDestruct) \\",
                         "               ctrl->info->defaultDestruct) \\",
                         "                   ((KAVObject *)((void *) kavSelf), 0, ctrl)"}));
    EXPECT_TRUE(kavc::messages().empty());
}

// A "class" method counts in the metaclass pass only; the name kavDefaultInit alone still asks
// for the ancestor Init macros there.
TEST_F(LifecycleSectionTest, MetaclassPassFiltersByTheClassModifier) {
    Entry* r = newClass("R", {kavObject()});
    kavc::addMod(overrideRoot(r, {"kavDefaultAssign"}), "class");
    overrideRoot(r, {"kavDefaultInit"});
    std::string classPass = macros(r);
    EXPECT_EQ(classPass.find("AssignmentOp"), std::string::npos);
    EXPECT_NE(classPass.find("#define R_BeginInitializer_kavDefaultInit \\\n"), std::string::npos);

    setUpPass(r);
    kavtinitialiseMeta(r, kavc::unitStab(), 1, 1);
    darurov::pass.instanceClassName = "R";
    std::string metaPass = written(r);
    kavtuninitialiseMeta(r);
    EXPECT_TRUE(metaPass.starts_with(comment("Macro for assignmentOp entry") + "#define M_R_BeginAssignmentOp \\\n"))
        << metaPass;
    EXPECT_EQ(metaPass.find("BeginInitializer"), std::string::npos);
    EXPECT_NE(metaPass.find(ancestorComment + "\n/* ...for KAVObject */\n" +
                            "#define M_R_Init_KAVObject_kavDefaultInit(kavSelf, ctrl) \\\n"),
              std::string::npos)
        << metaPass;
}

}  // namespace
