// kc on a class with initializers, a destructor and assignment methods: its header ends with
// the lifecycle macros and the closing lines.
#include "support/text.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

using testing_support::comment;
using testing_support::lines;

namespace {

TEST(LifecycleMacrosEndToEnd, HeaderEndsWithTheMacrosAndTheClosingLines) {
    char dir[] = "/tmp/initializers_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string command = std::string("'" KC_PATH "' --emitter '" PLUGIN_PATH "' -o ") + dir +
                          " '" TESTS_DIR "/idl/initializers/lifecycle.idl' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::array<char, 4096> chunk{};
    std::string printed;
    while (size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe.get())) printed.append(chunk.data(), n);
    int status = pclose(pipe.release());
    std::ifstream in(std::string(dir) + "/lifecycle.xih");
    std::stringstream text;
    text << in.rdbuf();
    std::string header = text.str();
    std::system((std::string("rm -rf ") + dir).c_str());

    EXPECT_EQ(status, 0) << printed;
    EXPECT_EQ(printed, "");
    const std::string expected =
        lines({"    return result;", "}"}) +
        comment("Macro for assignmentOp entry") +
        lines({"#define Square_BeginAssignmentOp \\",
               "   if (!ctrl) { \\",
               "      ctrl = &globalCtrl;\\",
               "      memcpy(ctrl,&(((kavParentMtabStructPtr)SquareCClassData.parentMtab)->assignCtrl),sizeof(kavAssignCtrl)); \\",
               "   } \\",
               "   myMask = ctrl->mask; \\",
               "   kavThis = (SquareData*)((char*)kavSelf + ctrl->info->dataOffset);\\",
               "   ctrl->info = (kavAssignInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\",
               "   ctrl->mask += 1;"}) +
        comment("Ancestor_AssignmentOp Macros") +
        lines({"",
               "/* ...for Shape */",
               "#define Square_Assign_Shape_kavDefaultAssign(kavSelf, ctrl, fromObj) \\",
               "        if (myMask[0]&1) \\",
               "           ((kavTD_KAVObject_kavDefaultAssign) \\",
               "               ctrl->info->defaultNCArgAssign) \\",
               "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))",
               "#define Square_Assign_Shape_kavDefaultConstAssign(kavSelf, ctrl, fromObj) \\",
               "        if (myMask[0]&1) \\",
               "           ((kavTD_KAVObject_kavDefaultAssign) \\",
               "               ctrl->info->defaultConstAssign) \\",
               "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))"}) +
        comment("Macros for initializer/destructor entry/exit") +
        lines({"#define Square_BeginInitializer_kavDefaultInit \\",
               "   if (!ctrl) { \\",
               "      ctrl = &globalCtrl; \\",
               "      memcpy(ctrl,&(((kavParentMtabStructPtr)SquareCClassData.parentMtab)->initCtrl),sizeof(kavInitCtrl)); \\",
               "   } \\",
               "   myMask = ctrl->mask; \\",
               "   kavThis = (SquareData*)((char*)kavSelf + ctrl->info->dataOffset);\\",
               "   ctrl->info = (kavInitInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\",
               "   ctrl->mask += 1;",
               "#define Square_BeginDestructor \\",
               "   if (!ctrl) { \\",
               "      ctrl = &globalCtrl; \\",
               "      memcpy(ctrl,&(((kavParentMtabStructPtr)SquareCClassData.parentMtab)->destructCtrl),sizeof(kavDestructCtrl)); \\",
               "   } \\",
               "   kavThis = (SquareData*)((char*)kavSelf + ctrl->info->dataOffset);\\",
               "   myMask = ctrl->mask; ",
               "#define Square_EndDestructor \\",
               "   ctrl->info = (kavDestructInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\",
               "   ctrl->mask += 1; \\",
               "   Square_DeInit_Shape_kavDestruct(kavSelf,0,ctrl); \\",
               "   if (doFree) _Square->kavDeallocate((string)kavSelf);",
               "#define Square_BeginInitializer_kavDefaultCopyInit \\",
               "   if (!ctrl) { \\",
               "      ctrl = &globalCtrl; \\",
               "      memcpy(ctrl,&(((kavParentMtabStructPtr)SquareCClassData.parentMtab)->initCtrl),sizeof(kavInitCtrl)); \\",
               "   } \\",
               "   myMask = ctrl->mask; \\",
               "   kavThis = (SquareData*)((char*)kavSelf + ctrl->info->dataOffset);\\",
               "   ctrl->info = (kavInitInfo*)(ctrl->infoSize + (char*)(ctrl->info)); \\",
               "   ctrl->mask += 1;",
               "#define Square_BeginInitializer_withSize \\",
               "   if (!sqCtrl) { \\",
               "      sqCtrl = &globalCtrl; \\",
               "      memcpy(ctrl,&(((kavParentMtabStructPtr)SquareCClassData.parentMtab)->initCtrl),sizeof(kavInitCtrl)); \\",
               "   } \\",
               "   myMask = sqCtrl->mask; \\",
               "   kavThis = (SquareData*)((char*)kavSelf + sqCtrl->info->dataOffset);\\",
               "   sqCtrl->info = (kavInitInfo*)(sqCtrl->infoSize + (char*)(sqCtrl->info)); \\",
               "   sqCtrl->mask += 1;"}) +
        comment("Ancestor_CopyInit Macros") +
        lines({"",
               "/* ...for Shape */",
               "#define Square_Init_Shape_kavDefaultCopyInit(kavSelf, ctrl, fromObj) \\",
               "        if (myMask[0]&1) \\",
               "           ((kavTD_KAVObject_kavDefaultCopyInit) \\",
               "               ctrl->info->defaultNCArgCopyInit) \\",
               "                   ((KAVObject *)((void *) kavSelf), ctrl, (KAVObject *)((void *) fromObj))"}) +
        comment("Ancestor_Init/DeInit Macros") +
        lines({"",
               "/* ...for Shape */",
               "#define Square_Init_Shape_kavDefaultInit(kavSelf, ctrl) \\",
               "        if (myMask[0]&1) \\",
               "           ((kavTD_KAVObject_kavDefaultInit) \\",
               "               ctrl->info->defaultInit) \\",
               "                   ((KAVObject *)((void *) kavSelf), ctrl)",
               "#define Square_Init_Shape_withSides(kavSelf, ev, ctrl, sides) \\",
               "        if (myMask[0]&1) \\",
               "           ((kavTD_Shape_withSides) \\",
               "              ((kavParentMtabStructPtr)(ShapeCClassData.parentMtab))->initializers[0]) \\",
               "\t\t(kavSelf, ev, ctrl, sides)",
               "#define Square_DeInit_Shape_kavDestruct(kavSelf, doFree, ctrl) \\",
               "        if (myMask[0]&1) \\",
               "           ((kavTD_KAVObject_kavDestruct) \\",
               "               ctrl->info->defaultDestruct) \\",
               "                   ((KAVObject *)((void *) kavSelf), 0, ctrl)",
               "",
               "#endif /* Primary Implementation Support */",
               "",
               "#endif       /* Square_xih */"});
    EXPECT_TRUE(header.ends_with(expected)) << header.substr(header.rfind("SquareNewClass"));
}

}  // namespace
