// The source-selection #if, trace macro, METHOD_MACROS and the ClassData definitions.
#include "header_fixture.h"

#include <algorithm>

using namespace darurov;
using namespace header_testing;

namespace {

// The whole section; `metaclassSource` is the block an explicit metaclass adds.
std::string support(const std::string& c, const std::string& sourceTest,
                    const std::string& metaclassSource, const std::vector<std::string>& macros,
                    const std::string& metaclass = "KAVClass") {
    std::string text = comment("-- Primary Implementation File Support") + lines({sourceTest}) +
                       comment("Trace/Debug macro") +
                       lines({"#ifndef " + c + "MethodDebug",
                              "   #define " + c + "MethodDebug(c,m) KAVMethodDebug(c,m)",
                              "#endif"}) +
                       metaclassSource + comment("-- Method Macros for use in Method Procedures") +
                       "#ifdef METHOD_MACROS\n";
    for (const auto& name : macros) text += "  #define _" + name + " kavSelf->" + name + "\n";
    return text + "#endif\n\n" + comment("-- The " + c + " ClassData Structure") +
           lines({"KAVEXTERN WIN32_DLLEXPORT struct " + c + "ClassDataStructure KAVDLINK " + c +
                  "ClassData = {(" + metaclass + " *) NULL};"}) +
           comment("-- The auxiliary " + c + " ClassData structure") +
           lines({"KAVEXTERN WIN32_DLLEXPORT struct " + c + "CClassDataStructure KAVDLINK " + c +
                      "CClassData = {(kavMethodTabs) NULL};",
                  ""});
}

class ImplementationSupportTest : public HeaderTest {};

TEST_F(ImplementationSupportTest, ClassPassListsInheritedOwnAndReintroducedMethods) {
    Entry* again = derivedReintroducingShared("Animal");
    kavc::addMod(again, "class");  // reintroduced methods are listed whatever their pass
    method("walk");
    classMethod("create");  // not of this pass
    kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavInit"), 5);
    kavc::setFilePath("Zoo/Animal.idl");
    startPass();
    EXPECT_EQ(section(writeImplementationSupport),
              support("Animal",
                      "#if (defined(Animal_Class_Source) || defined(KAV_Module_animal_Source))", "",
                      {"shared", "kavInit", "kavUninit", "kavDefaultInit", "kavDestruct",
                       "kavDefaultCopyInit", "kavDefaultConstCopyInit", "kavDefaultVCopyInit",
                       "kavDefaultConstVCopyInit", "kavDefaultAssign", "kavDefaultConstAssign",
                       "kavDefaultVAssign", "kavDefaultConstVAssign", "kavGetClass", "kavGetSize",
                       "walk", "kavInit", "shared"}));
}

TEST_F(ImplementationSupportTest, CompanionExplicitMetaclassAndNoMethods) {
    Entry* companion = kavc::newClass("AnimalFactory", {}, nullptr, 1);
    kavc::finishClass(companion);
    kavc::setMetaclass(cls, explicitMetaclass());
    kavc::setCompanion(cls, companion);
    startPass();
    cls->inheritedMethods = nullptr;  // a class the host lists no inherited method for
    EXPECT_EQ(section(writeImplementationSupport),
              support("Animal",
                      "#if (defined(AnimalFactory_Class_Source) || defined(Animal_Class_Source) "
                      "|| defined(KAV_Module_animal_Source))",
                      lines({"#ifndef AnimalMeta_Class_Source", "#define AnimalMeta_Class_Source",
                             "#endif"}),
                      {}, "AnimalMeta"));
}

// In the metaclass pass the root metaclass's new methods follow the inherited "class" ones;
// the class's own "class" methods come last unless the root metaclass has one of that name.
TEST_F(ImplementationSupportTest, MetaclassPassListsRootMetaclassMethods) {
    classMethod("create");
    kavc::addMod(kavc::addOverride(cls, kavc::findMethod(kavtkavcls, "kavGetName"), 4), "class");
    method("walk");
    startPass(true);
    std::vector<std::string> names;
    for (MethodRef* ref = cls->inheritedMethods; ref; ref = ref->next)
        if (kavtgetatt(ref->method, "class")) names.push_back(ref->method->name);
    for (Entry* m = kavtkavcls->methods; m; m = m->next)
        if (m->type == kavtNewMethodType) names.push_back(m->name);
    ASSERT_NE(std::find(names.begin(), names.end(), "kavGetName"), names.end());
    names.push_back("create");
    EXPECT_EQ(section(writeImplementationSupport),
              support("M_Animal",
                      "#if (defined(Animal_Class_Source) || defined(M_Animal_Class_Source) || "
                      "defined(KAV_Module_animal_Source))",
                      "", names));
}

}  // namespace
