// Output services and messages of the host model: files, comments, passthru, modules.
#include "kavc/store.h"
#include "support/text.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using testing_support::capture;
using testing_support::HostTest;
using testing_support::lines;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// Output goes to a fresh directory of its own.
class KavcOutput : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        kavc::setOutputDir(scratch.path());
    }
    Names listing() const { return scratch.entries(); }
    testing_support::ScratchDir scratch;
    fs::path dir{scratch.path()};
};

// The text written to an output the host opened (held in its buffer until taken).
std::string captureHostOutput(const std::function<void(FILE*)>& write) {
    kavc::captureOutput();
    write(kavtopenEmitFile("animal", "xih"));
    std::string text = kavc::capturedText();
    kavc::discardOutput();
    return text;
}

TEST_F(KavcOutput, CommentLayout) {
    const std::string longLine(1000, 'y');  // longer than the formatter's own small buffer
    const std::pair<std::string, std::string> table[] = {
        {"-- Instance Data", lines({"", "/*", " * -- Instance Data", " */"})},
        {"a\n\nb", lines({"", "/*", " * a", " *", " * b", " */"})},
        {"a\n\n", lines({"", "/*", " * a", " */"})},  // only one final newline dropped
        {"", lines({"", "/*", " *", " */"})},
        {longLine + "\n" + longLine, lines({"", "/*", " * " + longLine, " * " + longLine, " */"})},
    };
    for (const auto& [text, expected] : table) {
        auto write = [&, text = text.c_str()](FILE* out) { kavtfullComment(out, "%s", text); };
        EXPECT_EQ(capture(write), expected);
        EXPECT_EQ(captureHostOutput(write), expected);
    }
}

// A comment is formatted in the free space of the output buffer when it fits there: one that
// starts near the buffer's end and does not fit is written all the same, whole.
TEST_F(KavcOutput, CommentAtTheEndOfTheBuffer) {
    const std::size_t capacity = kavc::detail::OutputBuffer::capacity;
    const std::string body(100, 'c');
    for (std::size_t room : {1, 8, 12, 13, 50, 108, 109, 112, 120, 200}) {
        const std::string before(capacity - room, 'b');
        for (const std::string& text : {body, body + "\n" + body}) {
            std::string expected = before + "\n/*\n * " + body + "\n";
            if (text.size() > body.size()) expected += " * " + body + "\n";
            expected += " */\n";
            EXPECT_EQ(captureHostOutput([&](FILE* out) {
                          kavtokfprintf(out, "%s", before.c_str());
                          kavtfullComment(out, "%s", text.c_str());
                      }),
                      expected)
                << "room " << room << ", lines " << (text.size() > body.size() ? 2 : 1);
        }
    }
}

TEST_F(KavcOutput, PassthruBySectionAndPosition) {
    Entry* cls = kavc::newClass("Animal", {}, nullptr, 1);
    kavc::addPassthru(cls, "C.xih", false, "#include <zoo_extra.h>");
    kavc::addPassthru(cls, "C.xih", true, "/* after */");
    kavc::addPassthru(cls, "C.xih", false, "#include <zoo_more.h>");
    kavc::addPassthru(cls, "C.ih", false, "/* ih */");
    const std::tuple<const char*, const char*, std::string> table[] = {
        {"C.xih", "!after", lines({"#include <zoo_extra.h>", "#include <zoo_more.h>"})},
        {"C.xih", "after", lines({"/* after */"})},
        {"C.ih", "after", ""},
    };
    for (const auto& [section, position, expected] : table) {
        int wrote = -1;
        EXPECT_EQ(capture([&, section = section, position = position](FILE* out) {
                      wrote = kavtemitPassthru(out, cls, section, 2, position);
                  }),
                  expected);
        EXPECT_EQ(wrote, expected.empty() ? 0 : 1) << section << " " << position;
    }
}

TEST_F(KavcOutput, FileIsWrittenUnderATemporaryNameAndCommitted) {
    FILE* out = kavtopenEmitFile("animal", "xih");
    ASSERT_NE(out, nullptr);
    kavtokfprintf(out, "first %d\n", 1);
    kavtokfprintf(kavtopenEmitFile("animal", "xih"), "second\n");  // every class of the unit writes here
    ASSERT_EQ(listing().size(), 1u);
    EXPECT_NE(listing()[0], "animal.xih");
    EXPECT_TRUE(kavc::commitOutput());
    EXPECT_EQ(listing(), Names{"animal.xih"});
    std::stringstream text;
    text << std::ifstream(dir / "animal.xih").rdbuf();
    EXPECT_EQ(text.str(), "first 1\nsecond\n");
}

// The host buffers what it writes to its own files: text larger than the buffer, and text
// around a piece larger than the whole buffer, keeps its order, in a file and in memory;
// numbers print as printf's.
TEST_F(KavcOutput, LongOutputKeepsItsOrderAndNumbersPrintAsPrintf) {
    for (bool inMemory : {false, true}) {
        SCOPED_TRACE(inMemory ? "in memory" : "file");
        if (inMemory) kavc::captureOutput();
        FILE* out = kavtopenEmitFile("animal", "xih");
        std::string expected;
        const std::string large(300 * 1024, 'x');
        char line[80];
        for (int i = -20000; i < 20000; ++i) {
            if (i == 0) {
                kavtokfprintf(out, "%s\n", large.c_str());
                expected += large + "\n";
            }
            kavtokfprintf(out, "line %d\n", i);
            std::snprintf(line, sizeof line, "line %d\n", i);
            expected += line;
        }
        kavtokfprintf(out, "%d %ld %u %lu %c%%\n", INT_MIN, LONG_MIN, UINT_MAX, ULONG_MAX, 'z');
        std::snprintf(line, sizeof line, "%d %ld %u %lu %c%%\n", INT_MIN, LONG_MIN, UINT_MAX, ULONG_MAX, 'z');
        expected += line;
        std::string text = inMemory ? kavc::capturedText() : std::string();
        ASSERT_TRUE(kavc::commitOutput());
        if (!inMemory) {
            std::stringstream file;
            file << std::ifstream(dir / "animal.xih").rdbuf();
            text = file.str();
        }
        EXPECT_TRUE(text == expected) << "sizes " << text.size() << " and " << expected.size();
    }
}

// The formatter reads text in blocks: a format or an argument that ends just before memory it
// may not read (an unreadable page here) prints whole, with any length, wherever the free space
// of the formatter's own buffer (a few hundred bytes, for a stream the host did not open) ends.
TEST_F(KavcOutput, TextEndingBeforeAnUnreadablePagePrintsWhole) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* map = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    char* const edge = static_cast<char*>(map) + page;
    ASSERT_EQ(mprotect(edge, page, PROT_NONE), 0);
    auto atEdge = [&](const std::string& text) {
        char* copy = edge - text.size() - 1;
        std::memcpy(copy, text.c_str(), text.size() + 1);
        return copy;
    };
    char* memory = nullptr;
    std::size_t memorySize = 0;
    FILE* out = open_memstream(&memory, &memorySize);
    ASSERT_NE(out, nullptr);
    std::string expected;
    const std::string dashes(400, '-');
    for (std::size_t size = 0; size < 40; ++size) {
        std::string letters;
        for (std::size_t i = 0; i < size; ++i) letters += static_cast<char>('a' + i % 26);
        for (std::size_t fill = 200; fill < 300; ++fill) {
            const char* filler = dashes.c_str() + dashes.size() - fill;
            kavtokfprintf(out, "%s%s|", filler, atEdge(letters));
            kavtokfprintf(out, atEdge("%s" + letters + "%s"), filler, "x");
            expected += std::string(filler) + letters + "|" + filler + letters + "x";
        }
    }
    std::fclose(out);
    EXPECT_TRUE(std::string(memory, memorySize) == expected) << "sizes " << memorySize << " and " << expected.size();
    std::free(memory);
    munmap(map, 2 * page);
}

TEST_F(KavcOutput, CommittedFileGetsTheModeOfAnOrdinaryFile) {
    const std::pair<mode_t, mode_t> table[] = {{027, 0640}, {002, 0664}};
    for (auto [mask, mode] : table) {
        std::filesystem::remove(dir / "animal.xih");  // a file of the same text is kept as it is
        mode_t saved = ::umask(mask);
        kavtokfprintf(kavtopenEmitFile("animal", "xih"), "text\n");
        bool committed = kavc::commitOutput();
        EXPECT_EQ(::umask(saved), mask);  // the process's umask is left as it was
        ASSERT_TRUE(committed);
        struct stat info {};
        ASSERT_EQ(::stat((dir / "animal.xih").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode) << "umask " << mask;
    }
}

TEST_F(KavcOutput, FileOfTheSameTextIsNotReplaced) {
    // Replacing a file gives it a new inode; a kept file keeps its inode and its time stamp.
    // The old text is compared as the new one comes (held back while it matches), over several
    // buffers for a long one; text that reaches the stream past the host's buffer is compared
    // at the commit.
    const std::string large(300 * 1024, 'x');
    const std::string largeChanged = large.substr(0, large.size() - 1) + "y";
    const std::string largeChangedEarly = "y" + large.substr(1);
    const struct {
        std::string before;
        std::string after;
        bool direct;  // written to the stream with stdio
        bool replaced;
    } table[] = {
        {"text\n", "text\n", false, false}, {"text\n", "text!\n", false, true},
        {"text\n", "tex", false, true},     {"tex", "text\n", false, true},
        {large, large, false, false},       {large, largeChanged, false, true},
        {large, largeChangedEarly, false, true}, {large, large + "z", false, true},
        {large + "z", large, false, true},
        {"text\n", "text\n", true, false},  {"text\n", "tex\n", true, true},
    };
    for (const auto& c : table) {
        SCOPED_TRACE(c.after.substr(0, 8) + (c.direct ? " (stdio)" : ""));
        std::ofstream(dir / "animal.xih", std::ios::binary) << c.before;
        struct stat old {};
        ASSERT_EQ(::stat((dir / "animal.xih").c_str(), &old), 0);
        FILE* out = kavtopenEmitFile("animal", "xih");
        if (c.direct)
            std::fputs(c.after.c_str(), out);
        else
            kavtokfprintf(out, "%s", c.after.c_str());
        ASSERT_TRUE(kavc::commitOutput());
        struct stat now {};
        ASSERT_EQ(::stat((dir / "animal.xih").c_str(), &now), 0);
        EXPECT_EQ(now.st_ino != old.st_ino, c.replaced);
        std::stringstream text;
        text << std::ifstream(dir / "animal.xih").rdbuf();
        EXPECT_TRUE(text.str() == c.after);
        EXPECT_EQ(listing(), Names{"animal.xih"}) << "no temporary file is left";
    }
}

TEST_F(KavcOutput, DiscardResetAndTheFatalPathRemoveThePartialFile) {
    void (*fatalPath)() = [] { EXPECT_THROW(kavtcleanFilesFatal(-1), kavc::Fatal); };
    for (void (*abandon)() : {kavc::discardOutput, kavc::reset, fatalPath}) {
        kavc::setOutputDir(dir.string());
        kavtokfprintf(kavtopenEmitFile("animal", "xih"), "partial\n");
        EXPECT_EQ(listing().size(), 1u);
        abandon();
        EXPECT_TRUE(listing().empty());
    }
}

TEST(KavcOutputDeathTest, FatalEndsTheRunWithStatus2) {
    kavc::reset();
    kavc::throwOnFatal(false);
    EXPECT_EXIT(kavtcleanFilesFatal(-1), ::testing::ExitedWithCode(2), "");
}

// The texts of the emitter's messages, as kc prints them: tests/diagnostics/emitter-*.
TEST_F(KavcOutput, MessagesAreGccStyleAndCounted) {
    kavtmriwarn("zoo.idl", 12, 23, "kavGAP_walk");
    kavtmriinternal("zoo.idl", 40, 25, "Dog", "run");
    kavtmrierror("zoo.idl", 41, 26, "%s%d");  // arguments are inserted literally
    kavtmrierror("zoo.idl", 0, 33);
    kavtmrierror("zoo.idl", 51, 999);
    kavtmrifatal("zoo.idl", 52, 24);
    const Names& said = kavc::messages();
    ASSERT_EQ(said.size(), 6u);
    EXPECT_TRUE(said[0].starts_with("zoo.idl:12: warning: ") && said[0].ends_with(" [23]")) << said[0];
    EXPECT_TRUE(said[1].starts_with("zoo.idl:40: internal error: ")) << said[1];
    EXPECT_NE(said[2].find("\"%s%d\""), std::string::npos) << said[2];
    EXPECT_TRUE(said[3].starts_with("zoo.idl: error: ")) << said[3];
    EXPECT_EQ(said[4], "zoo.idl:51: error: message 999 [999]");
    EXPECT_TRUE(said[5].starts_with("zoo.idl:52: fatal error: ")) << said[5];
    EXPECT_EQ(kavc::errorCount(), 5);  // internal and fatal errors count as errors
    EXPECT_EQ(kavc::warningCount(), 1);
    kavc::reset();
    EXPECT_TRUE(kavc::messages().empty());
    EXPECT_EQ(kavc::errorCount() + kavc::warningCount(), 0);
}

// An emitter that writes one line per class into the unit's stream.
FILE* recordingEmitter(const char* stem, Entry* entry, Stab* stab) {
    FILE* out = kavtopenEmitFile(stem, "xih");
    kavtokfprintf(out, "class %s%s\n", entry->name, stab == kavc::unitStab() ? "" : " (other stab)");
    return out;
}

TEST_F(KavcOutput, ModulesHandEachClassToTheEmitterThroughTheUnitStab) {
    kavc::captureOutput();
    kavc::setEmitter(recordingEmitter);
    Entry* zoo = kavc::newModule("Zoo", {}, nullptr, 1);
    kavc::newClass("Animal", {"Zoo"}, zoo, 2);
    Entry* inner = kavc::newModule("Birds", {"Zoo"}, zoo, 3);
    kavc::newClass("Parrot", {"Zoo", "Birds"}, inner, 4);
    kavc::newClass("Keeper", {"Zoo"}, zoo, 6);
    Entry* top = kavc::newClass("Top", {}, nullptr, 7);
    EXPECT_EQ(kavtemitModule("zoo", zoo, "xih"), kavtopenEmitFile("zoo", "xih"));
    EXPECT_EQ(kavc::capturedText(), lines({"class Animal", "class Parrot", "class Keeper"}));
    Entry* nothing = kavc::newModule("Nothing", {}, nullptr, 8);
    EXPECT_EQ(kavtemitModule("zoo", nothing, "xih"), nullptr);
    EXPECT_TRUE(listing().empty());  // captured: no file
    kavc::setEmitter(nullptr);
    // the unit's table lists the top-level entries in order
    Stab* stab = kavc::unitStab();
    EXPECT_EQ(*static_cast<Entry**>(kavtstabFirst(stab, 0)), zoo);
    EXPECT_EQ(*static_cast<Entry**>(kavtstabNext(stab, 0)), top);
    EXPECT_EQ(*static_cast<Entry**>(kavtgetEntry(stab, "::Zoo")), zoo);
}

}  // namespace
