// Output services of the host model: streams, comments, guards, passthru and modules.
#include "support/text.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using testing_support::capture;
using testing_support::comment;
using testing_support::HostTest;
using testing_support::lines;
namespace fs = std::filesystem;

class KavcOutput : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        dir = fs::temp_directory_path() / ("kavc_output_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        HostTest::TearDown();
        fs::remove_all(dir);
    }
    static std::string read(const fs::path& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir;
};

TEST_F(KavcOutput, CommentLayout) {
    struct Row {
        const char* what;
        const char* text;
        std::string expected;
    };
    const Row table[] = {
        {"one line", "-- Instance Data", lines({"", "/*", " * -- Instance Data", " */"})},
        {"final newline dropped", "Trace/Debug\n", lines({"", "/*", " * Trace/Debug", " */"})},
        {"two lines", "a\nb", lines({"", "/*", " * a", " * b", " */"})},
        {"empty line inside", "a\n\nb", lines({"", "/*", " * a", " *", " * b", " */"})},
        {"only one newline dropped", "a\n\n", lines({"", "/*", " * a", " */"})},
        {"empty text", "", lines({"", "/*", " *", " */"})},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(r.what);
        std::string text = capture([&](FILE* out) { kavtfullComment(out, "%s", r.text); });
        EXPECT_EQ(text, r.expected);
        EXPECT_EQ(text, comment(r.text));
    }
    EXPECT_EQ(capture([](FILE* out) { kavtfullComment(out, "New Method: %s", "walk"); }),
              comment("New Method: walk"));
    EXPECT_EQ(capture([](FILE* out) { kavtokfprintf(out, "#define %s_MaxNoMethods %d\n", "Animal", 3); }),
              "#define Animal_MaxNoMethods 3\n");
}

TEST_F(KavcOutput, GuardNames) {
    Entry* nested = kavc::newClass("Animal", {"Zoo"}, nullptr, 1);
    Entry* deep = kavc::newClass("Cat", {"Zoo", "Big"}, nullptr, 1);
    Entry* top = kavc::newClass("Animal", {}, nullptr, 1);
    std::string buffer;
    EXPECT_STREQ(kavtincludeOnce(nested, "xih", buffer), "Zoo_Animal_xih");
    EXPECT_STREQ(kavtincludeOnce(deep, "mxih", buffer), "Zoo_Big_Cat_mxih");
    EXPECT_STREQ(kavtincludeOnce(top, "xh", buffer), "Animal_xh");
}

TEST_F(KavcOutput, Passthru) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    kavc::addPassthru(cls, "C.xih", false, "#include <zoo_extra.h>");
    kavc::addPassthru(cls, "C.xih", false, "#include <zoo_more.h>");
    kavc::addPassthru(cls, "C.xih", true, "/* after */");
    kavc::addPassthru(cls, "C.ih", false, "/* ih */");
    int wrote = -1;
    EXPECT_EQ(capture([&](FILE* out) { wrote = kavtemitPassthru(out, cls, "C.xih", 2, "!after"); }),
              lines({"#include <zoo_extra.h>", "#include <zoo_more.h>"}));
    EXPECT_EQ(wrote, 1);
    EXPECT_EQ(capture([&](FILE* out) { wrote = kavtemitPassthru(out, cls, "C.xih", 2, "after"); }),
              lines({"/* after */"}));
    EXPECT_EQ(wrote, 1);
    EXPECT_EQ(capture([&](FILE* out) { wrote = kavtemitPassthru(out, cls, "C.ih", 2, "after"); }), "");
    EXPECT_EQ(wrote, 0);
    EXPECT_EQ(capture([&](FILE* out) { wrote = kavtemitPassthru(out, cls, "C.h", 2, "!after"); }), "");
    EXPECT_EQ(wrote, 0);
}

TEST_F(KavcOutput, CapturedStream) {
    kavc::captureOutput();
    FILE* out = kavtopenEmitFile("animal", "xih");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(kavtopenEmitFile("animal", "xih"), out);
    kavtokfprintf(out, "hello %d\n", 1);
    EXPECT_EQ(kavc::capturedText(), "hello 1\n");
    kavtokfprintf(out, "more\n");
    EXPECT_EQ(kavc::capturedText(), "hello 1\nmore\n");
    EXPECT_TRUE(listing().empty());
}

TEST_F(KavcOutput, FileIsWrittenUnderATemporaryNameAndCommitted) {
    kavc::setOutputDir(dir.string());
    FILE* out = kavtopenEmitFile("animal", "xih");
    ASSERT_NE(out, nullptr);
    // a second class of the same unit writes into the same stream
    EXPECT_EQ(kavtopenEmitFile("animal", "xih"), out);
    kavtokfprintf(out, "first\n");
    kavtokfprintf(kavtopenEmitFile("animal", "xih"), "second\n");
    ASSERT_EQ(listing().size(), 1u);
    EXPECT_NE(listing()[0], "animal.xih");
    EXPECT_TRUE(kavc::commitOutput());
    EXPECT_EQ(listing(), std::vector<std::string>{"animal.xih"});
    EXPECT_EQ(read(dir / "animal.xih"), "first\nsecond\n");
}

TEST_F(KavcOutput, DiscardRemovesThePartialFile) {
    kavc::setOutputDir(dir.string());
    kavtokfprintf(kavtopenEmitFile("animal", "xih"), "partial\n");
    kavc::discardOutput();
    EXPECT_TRUE(listing().empty());
}

TEST_F(KavcOutput, ResetDiscardsUncommittedOutput) {
    kavc::setOutputDir(dir.string());
    kavtokfprintf(kavtopenEmitFile("animal", "xih"), "partial\n");
    kavc::reset();
    EXPECT_TRUE(listing().empty());
}

// An emitter that writes one line per class into the unit's stream.
FILE* recordingEmitter(const char* stem, Entry* entry, Stab* stab) {
    FILE* out = kavtopenEmitFile(stem, "xih");
    kavtokfprintf(out, "class %s%s\n", entry->name, stab == kavc::unitStab() ? "" : " (other stab)");
    return out;
}

TEST_F(KavcOutput, ModulesHandEachClassToTheEmitter) {
    kavc::captureOutput();
    kavc::setEmitter(recordingEmitter);
    Entry* zoo = kavc::newModule("Zoo", {}, nullptr, 1);
    kavc::newClass("Animal", {"Zoo"}, zoo, 2);
    Entry* inner = kavc::newModule("Birds", {"Zoo"}, zoo, 3);
    kavc::newClass("Parrot", {"Zoo", "Birds"}, inner, 4);
    kavc::newModule("Empty", {"Zoo"}, zoo, 5);
    kavc::newClass("Keeper", {"Zoo"}, zoo, 6);
    FILE* result = kavtemitModule("zoo", zoo, "xih");
    EXPECT_EQ(result, kavtopenEmitFile("zoo", "xih"));
    EXPECT_EQ(kavc::capturedText(), lines({"class Animal", "class Parrot", "class Keeper"}));
    EXPECT_EQ(kavtemitModule("zoo", kavc::newModule("Nothing", {}, nullptr, 7), "xih"), nullptr);
    // nested entries are members of their module, not top-level entries
    ASSERT_EQ(kavc::topLevel().size(), 2u);
    EXPECT_EQ(kavc::topLevel()[0], zoo);
    kavc::setEmitter(nullptr);
}

}  // namespace
