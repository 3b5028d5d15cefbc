// kc end to end: the static class info of a compiled class with every table names them all.
#include "kc_run.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TablesEndToEnd, StaticClassInfoNamesEveryTable) {
    kc_e2e::ScratchDir dir;
    kc_e2e::KcResult run = kc_e2e::runKc({"--emitter", PLUGIN_PATH, "-o", dir.path(), "-m", "csc",
                                          kc_e2e::idl("tables/every_table.idl")},
                                         dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string header = kc_e2e::readText(dir / "every_table.xih");
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
