// Text helpers: a value written into a C string.
#include "driver/text.h"

#include <gtest/gtest.h>

using namespace darurov;

namespace {

TEST(QuotedText, EscapesWhatACStringCannotHold) {
    const struct {
        const char* value;
        const char* written;
    } cases[] = {
        {"walk a few steps", "\"walk a few steps\""},
        {"\"already quoted\"", "\"already quoted\""},           // a whole literal: unchanged
        {"\"with \\\" inside\"", "\"with \\\" inside\""},       // its escapes kept
        {"say \"hi\"", "\"say \\\"hi\\\"\""},                     // quotes inside
        {"\"open", "\"\\\"open\""},                             // a leading quote alone is no literal
        {"\"a\"b\"", "\"\\\"a\\\"b\\\"\""},                       // nor is one with a bare quote inside
        {"back\\slash", "\"back\\\\slash\""},
        {"two\nlines\tand\x01", "\"two\\nlines\\tand\\001\""},  // control characters escaped
        {"", "\"\""},
    };
    for (const auto& c : cases) {
        std::string dest;
        EXPECT_STREQ(quotedText(dest, c.value), c.written) << c.value;
    }
}

// A text is formatted into a line-sized buffer first, and again at its size when longer.
TEST(FormatText, TextsOfAnyLengthAreWhole) {
    for (std::size_t size : {0u, 1u, 254u, 255u, 256u, 257u, 5000u}) {
        const std::string word(size, 'w');
        EXPECT_EQ(formatText("<%s|%d>", word.c_str(), 42), "<" + word + "|42>") << size;
    }
}

// Formats of %s only are joined without the library; the others go through it.
TEST(FormatText, JoinsTextsAsPrintfWould) {
    EXPECT_EQ(formatText("%s::%s", "A", "m"), "A::m");
    EXPECT_EQ(formatText("%s%s", "", "tail"), "tail");
    EXPECT_EQ(formatText("xih_%s", "C"), "xih_C");
    EXPECT_EQ(formatText("no conversion"), "no conversion");
    EXPECT_EQ(formatText("50%% of %s", "x"), "50% of x");
    EXPECT_EQ(formatText("%s=%d", "n", 7), "n=7");
}

}  // namespace
