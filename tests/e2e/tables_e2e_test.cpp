// kc end to end: the static class info of a compiled class with every table names them all.
#include "kc_run.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TablesEndToEnd, StaticClassInfoNamesEveryTable) {
    const kc_e2e::Compiled compiled = kc_e2e::compileIdl("tables/every_table", {"-m", "csc"});
    ASSERT_EQ(compiled.run.status, 0) << compiled.run.err;
    const std::string& header = compiled.header;
    const size_t sci = header.find("static kavStaticClassInfo AnimalSCI = {\n");
    ASSERT_NE(sci, std::string::npos) << header;
    const std::string info = header.substr(sci, header.find("};\n", sci) - sci);
    for (const char* line : {"    4, 2, 1, 1, 1, 0, /* layout version 4 */ \n",
                             "    &kavEMC_Animal, 0,\n", "    kavPCAnimal,\n",
                             "    AnimalSM, AnimalOM,\n    (char *) &Animal_kavInstData,\n"
                             "    AnimalNID,    AnimalPM,\n",
                             "    kavDICAnimal, /* directinitclasses */\n", "    kavGM_Animal,\n",
                             "    AnimalSO,\n", "    AnimalMM,\n",
                             "    kavINITAnimal, /* initializers */\n"})
        EXPECT_NE(info.find(line), std::string::npos) << line << info;
}

}  // namespace
