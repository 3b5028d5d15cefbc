// kc end to end: the static class info of a compiled class names exactly the tables it has.
#include "support/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using testing_support::lines;

namespace {

namespace fs = std::filesystem;

class TablesEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tables_e2e_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Compiles tests/idl/tables/<stem>.idl and returns the header text ("" when kc failed).
    std::string compile(const std::string& stem, const std::string& options) {
        std::string command = std::string("'" KC_PATH "' ") + options + " -o '" + dir.string() +
                              "' --emitter '" PLUGIN_PATH "' '" TESTS_DIR "/idl/tables/" + stem +
                              ".idl' 2>&1";
        int status = std::system(command.c_str());
        EXPECT_EQ(status, 0) << command;
        std::ifstream in(dir / (stem + ".xih"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The static class info of class `name`, through its closing line.
    static std::string staticClassInfo(const std::string& text, const std::string& name) {
        size_t begin = text.find("static kavStaticClassInfo " + name + "SCI = {\n");
        if (begin == std::string::npos) return {};
        size_t end = text.find("};\n", begin);
        return text.substr(begin, end == std::string::npos ? std::string::npos : end + 3 - begin);
    }

    fs::path dir;
};

TEST_F(TablesEndToEnd, EveryTableIsNamedByTheStaticClassInfo) {
    std::string text = compile("every_table", "-m csc");
    for (const char* table : {"static kavStaticMethod_t AnimalSM[] = {",
                              "static kavOverrideMethod_t AnimalOM[] = {",
                              "static kavMethods_t kavGM_Animal[] = {",
                              "static kavMigratedMethod_t AnimalMM[] = {",
                              "static kavId kavPCAnimal[] = {",
                              "static kavId kavDICAnimal[] = {",
                              "static kavId kavINITAnimal[] = {",
                              "static kavNonInternalData_t AnimalNID[] = {",
                              "static kavProcMethods_t AnimalPM[] = {",
                              "static kavInheritedMethod_t AnimalSO[] = {"})
        EXPECT_NE(text.find(table), std::string::npos) << table;
    EXPECT_EQ(staticClassInfo(text, "Animal"), lines({
                                                   "static kavStaticClassInfo AnimalSCI = {",
                                                   "    4, 2, 1, 1, 1, 0, /* layout version 4 */ ",
                                                   "    Animal_MajorVersion, Animal_MinorVersion,",
                                                   "    sizeof(AnimalData), Animal_MaxNoMethods, 1,",
                                                   "    &kavCN_Animal,",
                                                   "    &kavEMC_Animal, 0,",
                                                   "    kavPCAnimal,",
                                                   "    (kavClassDataStructure *) &AnimalClassData,",
                                                   "    (kavCClassDataStructure *) &AnimalCClassData,",
                                                   "    AnimalSM, AnimalOM,",
                                                   "    (char *) &Animal_kavInstData,",
                                                   "    AnimalNID,    AnimalPM,",
                                                   "    (kavVarargsFuncs_t *) NULL,",
                                                   "    (kavTP_kavClassInitFunc *) initAnimal,",
                                                   "    8, /* explicit IDL align modifier */",
                                                   "    1, /* numDirectInitClasses */",
                                                   "    kavDICAnimal, /* directinitclasses */",
                                                   "    2, /* number of general methods */",
                                                   "    kavGM_Animal,",
                                                   "    0, /* no public data offset */",
                                                   "    0, /* no sci development level check */",
                                                   "    1, /* number of SelectInheritedMethods */",
                                                   "    AnimalSO,",
                                                   "    4, /* number of classdata entries */",
                                                   "    0, /* no list provided currently */",
                                                   "    1, /* number of migrated methods */",
                                                   "    AnimalMM,",
                                                   "    1, /* number of initializers */",
                                                   "    kavINITAnimal, /* initializers */",
                                                   "    0, /* not NCX a class */",
                                                   "    0, /* no dynamically computed info */",
                                                   "};",
                                               }));
}

TEST_F(TablesEndToEnd, ClassWithoutTablesGetsNullPointers) {
    std::string text = compile("no_tables", "");
    EXPECT_EQ(staticClassInfo(text, "Plain"), lines({
                                                  "static kavStaticClassInfo PlainSCI = {",
                                                  "    4, 0, 0, 0, 0, 0, /* layout version 4 */ ",
                                                  "    Plain_MajorVersion, Plain_MinorVersion,",
                                                  "    sizeof(PlainData), Plain_MaxNoMethods, 1,",
                                                  "    &kavCN_Plain,",
                                                  "    (kavId) NULL, 1,",
                                                  "    kavPCPlain,",
                                                  "    (kavClassDataStructure *) &PlainClassData,",
                                                  "    (kavCClassDataStructure *) &PlainCClassData,",
                                                  "    (kavStaticMethod_t *) NULL, (kavOverrideMethod_t *) NULL,",
                                                  "    (char *) NULL,",
                                                  "    (kavNonInternalData_t *) NULL,",
                                                  "   (kavProcMethods_t *) NULL,",
                                                  "    (kavVarargsFuncs_t *) NULL,",
                                                  "    (kavTP_kavClassInitFunc *) NULL,",
                                                  "    4, /* type code alignment */",
                                                  "    -1, /* use parents as DirectInitClasses */",
                                                  "    0, /* no explicit DirectInitClasses */",
                                                  "    0, /* number of general methods */",
                                                  "    (kavMethods_t *) NULL,",
                                                  "    0, /* no public data offset */",
                                                  "    0, /* no sci development level check */",
                                                  "    0, /* number of SelectInheritedMethods */",
                                                  "    0, /* no SelectInheritedMethods */",
                                                  "    0, /* number of classdata entries */",
                                                  "    0, /* no list provided currently */",
                                                  "    0, /* number of migrated methods */",
                                                  "    0, /* no migrated method implementations */",
                                                  "    0, /* number of initializers */",
                                                  "    0, /* no initializers */",
                                                  "    0, /* not NCX a class */",
                                                  "    0, /* no dynamically computed info */",
                                                  "};",
                                              }));
    EXPECT_EQ(text.find("SM[] = {"), std::string::npos);
    EXPECT_EQ(text.find("kavGM_Plain"), std::string::npos);
}

}  // namespace
