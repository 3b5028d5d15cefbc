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

}  // namespace
