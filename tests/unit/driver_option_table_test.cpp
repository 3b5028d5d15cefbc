// The option table: its lookups, and the tables of docs/idl.md that are written from it.
#include "host/option_table.h"
#include "kc/diagnostics.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

using namespace darurov;

namespace {

struct Lookup {
    const char* name;
    const char* option;    // findOption's row name, or null
    bool globalOptionRow;  // findGlobalOption finds it
};

TEST(OptionTable, LookupByName) {
    for (const Lookup& c : {Lookup{"notc", "notc", true}, Lookup{"nodupcheck", "nodupcheck", true},
                            Lookup{"class", "class", false}, Lookup{"migrate", "migrate", false},
                            Lookup{"nothunk", nullptr, false}, Lookup{"", nullptr, false}}) {
        const OptionRow* row = findOption(c.name);
        EXPECT_STREQ(row ? row->name : nullptr, c.option) << c.name;
        EXPECT_EQ(findGlobalOption(c.name) != nullptr, c.globalOptionRow) << c.name;
    }
    EXPECT_STREQ(optionName(Option::metaclassMember), "class");
    EXPECT_STREQ(optionName(Option::privateData), "private");
}

// ---- the tables of docs/idl.md ------------------------------------------------------------

std::string readers(unsigned bits) {
    std::string text;
    for (auto [bit, name] : {std::pair{emitterReads, "emitter"}, {hostReads, "host"}, {kcReads, "kc"}})
        if (bits & bit) text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

std::string places(unsigned kinds) {
    std::string text;
    for (auto [bit, name] : {std::pair{classModifier, "class"}, {methodModifier, "method"},
                             {dataModifier, "data member"}, {attributeModifier, "attribute"},
                             {parentModifier, "parent reference"}, {metaclassModifier, "metaclass"}})
        if (kinds & bit) text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

// How a modifier is written: `name`, `name = Value` or both.
std::string written(const OptionRow& row) {
    const std::string bare = "`" + std::string(row.name) + "`";
    const std::string valued = "`" + std::string(row.name) + " = " + row.valueName + "`";
    switch (row.value) {
        case OptionValue::none: return bare;
        case OptionValue::optional: return bare + ", " + valued;
        case OptionValue::required: return valued;
    }
    return bare;
}

std::string globalOptionDocs() {
    std::string text = "| option | read by | effect |\n|---|---|---|\n";
    for (const OptionRow& row : optionTable)
        if (row.kinds & globalOption)
            text += "| `" + std::string(row.name) + "` | " + readers(row.readers) + " | " +
                    row.effect + " |\n";
    return text;
}

std::string modifierDocs() {
    std::string text = "| modifier | on | read by | meaning |\n|---|---|---|---|\n";
    for (const OptionRow& row : optionTable)
        if (!(row.kinds & globalOption))
            text += "| " + written(row) + " | " + places(row.kinds) + " | " +
                    readers(row.readers) + " | " + row.effect + " |\n";
    return text;
}

// The table of the document that starts with the header line of `expected`.
std::string documentTable(const std::string& document, const std::string& expected) {
    const std::string header = expected.substr(0, expected.find('\n') + 1);
    std::size_t at = document.find(header);
    if (at == std::string::npos) return "";
    std::istringstream in(document.substr(at));
    std::string table;
    for (std::string line; std::getline(in, line) && line.rfind("|", 0) == 0;) table += line + "\n";
    return table;
}

std::string warningGroupDocs() {
    std::string text = "| group | warns about |\n|---|---|\n";
    for (std::size_t i = 0; i < kc::groupCount; ++i)
        text += "| `" + std::string(kc::groupTable[i].name) + "` | " + kc::groupTable[i].what + " |\n";
    return text;
}

// On a mismatch the message holds the table to paste into docs/idl.md.
TEST(OptionTable, DocsListEveryRowAsTheTableSaysIt) {
    std::ifstream in(DOCS_DIR "/idl.md");
    std::stringstream document;
    document << in.rdbuf();
    ASSERT_FALSE(document.str().empty()) << DOCS_DIR "/idl.md";
    for (const std::string& expected : {globalOptionDocs(), modifierDocs(), warningGroupDocs()})
        EXPECT_TRUE(documentTable(document.str(), expected) == expected)
            << "docs/idl.md should have this table:\n"
            << expected;
}

}  // namespace
