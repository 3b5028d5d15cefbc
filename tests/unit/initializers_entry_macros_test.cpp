// The direct-init class list, the initializer entry macros and the assignment macros.
#include "initializers_test_support.h"

using initializers_testing::LifecycleTest;
using testing_support::capture;
using testing_support::comment;
using testing_support::lines;

namespace {

std::string beginInitializer(const std::string& cls, const std::string& m, const std::string& ctrl,
                             int n, bool instanceData) {
    std::string text =
        lines({"#define " + cls + "_BeginInitializer_" + m + " \\", "   if (!" + ctrl + ") { \\",
               "      " + ctrl + " = &globalCtrl; \\",
               "      memcpy(ctrl,&(((kavParentMtabStructPtr)" + cls +
                   "CClassData.parentMtab)->initCtrl),sizeof(kavInitCtrl)); \\",
               "   } \\", "   myMask = " + ctrl + "->mask; \\"});
    if (instanceData)
        text += lines({"   kavThis = (" + cls + "Data*)((char*)kavSelf + " + ctrl + "->info->dataOffset);\\"});
    return text + lines({"   " + ctrl + "->info = (kavInitInfo*)(" + ctrl + "->infoSize + (char*)(" + ctrl +
                             "->info)); \\",
                         "   " + ctrl + "->mask += " + std::to_string(n) + ";"});
}

const std::string entryComment = comment("Macros for initializer/destructor entry/exit");

using DirectInitListTest = LifecycleTest;

TEST_F(DirectInitListTest, ParentsAreJoinedWithoutBlanks) {
    Entry* a = newClass("A", {kavObject()});
    kavc::finishClass(a);
    Entry* b = kavc::newClass("B", {"Zoo"}, nullptr, 1);
    kavc::addParent(b, kavObject(), 1);
    kavc::finishClass(b);
    Entry* c = newClass("C", {a, b});
    kavc::finishClass(c);
    setUpPass(c);
    EXPECT_EQ(darurov::directInitClassList(c), "A,B");  // the simple name of ::Zoo::B
}

TEST_F(DirectInitListTest, ModifierWinsAndNoParentsGiveAnEmptyList) {
    Entry* c = newClass("C", {kavObject()});
    kavc::addMod(c, "directinitclasses", "KAVObject, B");
    kavc::finishClass(c);
    Entry* lone = newClass("Lone", {});
    kavc::finishClass(lone);
    setUpPass(c);
    EXPECT_EQ(darurov::directInitClassList(c), "KAVObject, B");
    EXPECT_EQ(darurov::directInitClassList(lone), "");
}

TEST_F(DirectInitListTest, IdlParentWithoutScopedNameIsListedByName) {
    Entry* a = newClass("A", {kavObject()});
    kavc::finishClass(a);
    Entry* c = newClass("C", {a, kavObject()});
    kavc::finishClass(c);
    setUpPass(c);
    a->scopedName = nullptr;
    EXPECT_EQ(darurov::directInitClassList(c), "A,KAVObject");
}

using InitializerEntryTest = LifecycleTest;

TEST_F(InitializerEntryTest, DefaultAndCopyInitializersInMethodOrder) {
    Entry* b = buildB(false);
    Entry* c = newClass("C", {b, kavObject()});
    overrideRoot(c, "kavDefaultInit");
    overrideRoot(c, "kavDefaultCopyInit");
    kavc::finishClass(c);
    setUpPass(c);
    darurov::pass.hasInstanceData = true;

    std::string text = macros(c);
    std::string expected = entryComment + beginInitializer("C", "kavDefaultInit", "ctrl", 2, true) +
                           beginInitializer("C", "kavDefaultCopyInit", "ctrl", 2, true);
    EXPECT_EQ(text.substr(0, expected.size()), expected);
}

TEST_F(InitializerEntryTest, ExplicitInitializerUsesItsControlParameter) {
    Entry* lone = newClass("Lone", {});
    addInitializer(lone, "withSize", "myCtrl");
    kavc::finishClass(lone);
    setUpPass(lone);

    std::string text = macros(lone);
    // No parents and no directinitclasses: the mask advances by 0 and no ancestor is listed.
    EXPECT_EQ(text, entryComment + beginInitializer("Lone", "withSize", "myCtrl", 0, false) +
                        comment("Ancestor_Init/DeInit Macros"));
}

TEST_F(InitializerEntryTest, ClassWithoutLifecycleMethodsGetsTheCommentOnly) {
    Entry* c = newClass("C", {kavObject()});
    kavc::addMethod(c, "talk", kavc::basicType("void"), 3);
    kavc::finishClass(c);
    setUpPass(c);
    EXPECT_EQ(macros(c), entryComment);
}

// ---- assignment ------------------------------------------------------------------------------

using AssignmentMacrosTest = LifecycleTest;

TEST_F(AssignmentMacrosTest, OneEntryMacroForSeveralAssignmentMethods) {
    Entry* b = buildB(false);
    Entry* q = newClass("Q", {b});
    kavc::addMod(q, "directinitclasses", "KAVObject,B");
    overrideRoot(q, "kavDefaultAssign");
    overrideRoot(q, "kavDefaultConstAssign");
    overrideRoot(q, "kavDefaultVAssign");
    kavc::finishClass(q);
    setUpPass(q);
    darurov::pass.hasInstanceData = true;

    EXPECT_EQ(macros(q),
              comment("Macro for assignmentOp entry") +
                  lines({"#define Q_BeginAssignmentOp \\",
                         "   if (!ctrl) { \\",
                         "      ctrl = &globalCtrl;\\",
                         "      memcpy(ctrl,&(((kavParentMtabStructPtr)QCClassData.parentMtab)->assignCtrl),sizeof(kavAssignCtrl)); \\",
                         "   } \\",
                         "   myMask = ctrl->mask; \\",
                         "   kavThis = (QData*)((char*)kavSelf + ctrl->info->dataOffset);\\",
                         "   ctrl->info = (kavAssignInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\",
                         "   ctrl->mask += 2;"}) +
                  comment("Ancestor_AssignmentOp Macros") +
                  lines({"",
                         "/* ...for KAVObject */",
                         "#define Q_Assign_KAVObject_kavDefaultAssign(kavSelf, ctrl, fromObj) \\",
                         "        if (myMask[0]&1) \\",
                         "        /* special case KAVObject */\\",
                         "        ctrl->info = (kavAssignInfo*)(ctrl->infoSize + (char*)(ctrl->info));",
                         "#define Q_Assign_KAVObject_kavDefaultConstAssign(kavSelf, ctrl, fromObj) \\",
                         "        if (myMask[0]&1) \\",
                         "        /* special case KAVObject */\\",
                         "        ctrl->info = (kavAssignInfo*)(ctrl->infoSize + (char*)(ctrl->info));",
                         "",
                         "/* ...for B */",
                         "#define Q_Assign_B_kavDefaultAssign(kavSelf, ctrl, fromObj) \\",
                         "        if (myMask[1]&1) \\",
                         "           ((kavTD_KAVObject_kavDefaultAssign) \\",
                         "               ctrl->info->defaultNCArgAssign) \\",
                         "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))",
                         "#define Q_Assign_B_kavDefaultConstAssign(kavSelf, ctrl, fromObj) \\",
                         "        if (myMask[1]&1) \\",
                         "           ((kavTD_KAVObject_kavDefaultAssign) \\",
                         "               ctrl->info->defaultConstAssign) \\",
                         "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))"}) +
                  entryComment);
}

TEST_F(AssignmentMacrosTest, ClassMethodCountsOnlyInTheMetaclassPass) {
    Entry* r = newClass("R", {kavObject()});
    Entry* assign = overrideRoot(r, "kavDefaultAssign");
    kavc::addMod(assign, "class");
    overrideRoot(r, "kavDefaultInit");
    kavc::finishClass(r);

    setUpPass(r);
    kavtinitialiseMeta(r, kavc::unitStab(), 0, 1);
    std::string classPass = macros(r);
    EXPECT_EQ(classPass.find("AssignmentOp"), std::string::npos);
    EXPECT_NE(classPass.find("#define R_BeginInitializer_kavDefaultInit \\\n"), std::string::npos);

    setUpPass(r);
    kavtinitialiseMeta(r, kavc::unitStab(), 1, 1);
    darurov::pass.instanceClassName = "R";
    std::string metaPass = macros(r);
    kavtuninitialiseMeta(r);
    // The assignment method belongs here; kavDefaultInit does not get an entry macro, but its
    // name alone still asks for the ancestor Init macros.
    EXPECT_EQ(metaPass.find(comment("Macro for assignmentOp entry") + "#define M_R_BeginAssignmentOp \\\n"), 0u)
        << metaPass;
    EXPECT_EQ(metaPass.find("BeginInitializer"), std::string::npos);
    EXPECT_NE(metaPass.find(comment("Ancestor_Init/DeInit Macros") + "\n/* ...for KAVObject */\n" +
                            "#define M_R_Init_KAVObject_kavDefaultInit(kavSelf, ctrl) \\\n"),
              std::string::npos)
        << metaPass;
}

}  // namespace
