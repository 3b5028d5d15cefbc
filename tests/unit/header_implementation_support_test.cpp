// The source-selection #if, trace macro, METHOD_MACROS and the ClassData definitions.
#include "header_fixture.h"

#include <algorithm>

using namespace darurov;
using namespace header_testing;

namespace {

// Methods every class inherits from KAVObject, in the host's order.
const std::vector<std::string> objectMethods = {
    "kavInit", "kavUninit", "kavDefaultInit", "kavDestruct", "kavDefaultCopyInit",
    "kavDefaultConstCopyInit", "kavDefaultVCopyInit", "kavDefaultConstVCopyInit",
    "kavDefaultAssign", "kavDefaultConstAssign", "kavDefaultVAssign", "kavDefaultConstVAssign",
    "kavGetClass", "kavGetSize"};

std::string macros(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += "  #define _" + name + " kavSelf->" + name + "\n";
    return text;
}

std::string opening(const std::string& sourceTest, const std::string& c = "Animal") {
    return comment("-- Primary Implementation File Support") + lines({sourceTest}) +
           comment("Trace/Debug macro") +
           lines({"#ifndef " + c + "MethodDebug",
                  "   #define " + c + "MethodDebug(c,m) KAVMethodDebug(c,m)", "#endif"});
}

std::string methodMacros(const std::vector<std::string>& names) {
    return comment("-- Method Macros for use in Method Procedures") +
           lines({"#ifdef METHOD_MACROS"}) + macros(names) + lines({"#endif", ""});
}

std::string classData(const std::string& c, const std::string& metaclass) {
    return comment("-- The " + c + " ClassData Structure") +
           lines({"KAVEXTERN WIN32_DLLEXPORT struct " + c + "ClassDataStructure KAVDLINK " + c +
                  "ClassData = {(" + metaclass + " *) NULL};"}) +
           comment("-- The auxiliary " + c + " ClassData structure") +
           lines({"KAVEXTERN WIN32_DLLEXPORT struct " + c + "CClassDataStructure KAVDLINK " + c +
                      "CClassData = {(kavMethodTabs) NULL};",
                  ""});
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string plainSource =
    "#if (defined(Animal_Class_Source) || defined(KAV_Module_animal_Source))";

class ImplementationSupportTest : public HeaderTest {
  protected:
    std::string write() {
        return capture([&](FILE* out) { writeImplementationSupport(out, cls); });
    }
};

TEST_F(ImplementationSupportTest, ClassPassListsInheritedOwnAndReintroducedMethods) {
    Entry* base = kavc::newClass("Base", {}, nullptr, 1);
    Entry* shared = kavc::addMethod(base, "shared", kavc::basicType("long"), 2);
    kavc::addMod(shared, "nonstatic");
    kavc::finishClass(base);
    cls = kavc::newClass("Animal", {}, nullptr, 3);
    kavc::addParent(cls, base, 3);
    method("walk");
    classMethod("create");  // not of this pass
    kavc::addOverride(cls, kavc::findInheritedMethod(cls, "kavInit"), 5);
    Entry* again = kavc::addReintroduce(cls, shared, 6);
    kavc::addMod(again, "class");  // reintroduced methods are listed whatever their pass
    kavc::setFilePath("Zoo/Animal.idl");
    startPass();
    EXPECT_EQ(write(),
              opening("#if (defined(Animal_Class_Source) || defined(KAV_Module_animal_Source))") +
                  methodMacros(concat(concat({"shared"}, objectMethods),
                                      {"walk", "kavInit", "shared"})) +
                  classData("Animal", "KAVClass"));
}

TEST_F(ImplementationSupportTest, CompanionAndExplicitMetaclass) {
    Entry* meta = kavc::newClass("AnimalMeta", {}, nullptr, 1);
    kavc::addParent(meta, kavtkavcls, 1);
    kavc::finishClass(meta);
    Entry* companion = kavc::newClass("AnimalFactory", {}, nullptr, 1);
    kavc::finishClass(companion);
    kavc::setMetaclass(cls, meta);
    kavc::setCompanion(cls, companion);
    startPass();
    EXPECT_EQ(write(),
              opening("#if (defined(AnimalFactory_Class_Source) || defined(Animal_Class_Source) "
                      "|| defined(KAV_Module_animal_Source))") +
                  lines({"#ifndef AnimalMeta_Class_Source", "#define AnimalMeta_Class_Source",
                         "#endif"}) +
                  methodMacros(objectMethods) + classData("Animal", "AnimalMeta"));
}

TEST_F(ImplementationSupportTest, NoMethodsAtAllGivesAnEmptyBlock) {
    cls = kavc::newClass("Root", {}, nullptr, 1);
    startPass();
    cls->inheritedMethods = nullptr;  // a class the host lists no inherited method for
    EXPECT_EQ(write(),
              opening("#if (defined(Root_Class_Source) || defined(KAV_Module_animal_Source))",
                      "Root") +
                  methodMacros({}) + classData("Root", "KAVClass"));
}

// In the metaclass pass the root metaclass's new methods come first; the class's own
// "class" methods follow unless the root metaclass already has one of that name.
TEST_F(ImplementationSupportTest, MetaclassPassListsRootMetaclassMethods) {
    classMethod("create");
    Entry* getName = kavc::addOverride(cls, kavc::findMethod(kavtkavcls, "kavGetName"), 4);
    kavc::addMod(getName, "class");
    method("walk");
    startPass(true);
    std::vector<std::string> rootMethods;
    for (Entry* m = kavtkavcls->methods; m; m = m->next)
        if (m->type == kavtNewMethodType) rootMethods.push_back(m->name);
    ASSERT_NE(std::find(rootMethods.begin(), rootMethods.end(), "kavGetName"), rootMethods.end());
    std::vector<std::string> inherited;
    for (MethodRef* ref = cls->inheritedMethods; ref; ref = ref->next)
        if (kavtgetatt(ref->method, "class")) inherited.push_back(ref->method->name);
    EXPECT_EQ(write(),
              opening("#if (defined(Animal_Class_Source) || defined(M_Animal_Class_Source) || "
                      "defined(KAV_Module_animal_Source))",
                      "M_Animal") +
                  methodMacros(concat(concat(inherited, rootMethods), {"create"})) +
                  classData("M_Animal", "KAVClass"));
}

}  // namespace
