// The kc front end run on IDL text in memory, into a fresh host model.
#pragma once

#include "kc/lower.h"
#include "kc/parser.h"
#include "support/text.h"

#include <string>
#include <vector>

namespace kc_testing {

// Every token of `text` after preprocessing (End excluded), with the messages it produced.
struct Preprocessed {
    std::vector<kc::Token> tokens;
    std::vector<std::string> messages;

    std::string spelling() const {  // tokens joined by one blank
        std::string out;
        for (const kc::Token& t : tokens) out += (out.empty() ? "" : " ") + t.text;
        return out;
    }
};

inline Preprocessed preprocess(const std::string& text, kc::PreprocessorOptions options = {},
                               const std::string& path = "test.idl") {
    kc::Sources sources;
    kc::Diagnostics diag(sources);
    diag.setEcho(false);
    kc::Preprocessor pp(sources, diag, std::move(options));
    pp.openText(path, text);
    Preprocessed result;
    for (kc::Token t = pp.next(); t.kind != kc::Tok::End; t = pp.next()) result.tokens.push_back(t);
    result.messages = diag.messages();
    return result;
}

class KcTest : public testing_support::HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        diag.setEcho(false);
        kavc::setFilePath("test.idl");
    }

    // Preprocesses, parses and (when there is no syntax error) lowers `text` as test.idl.
    // True when no error was reported.
    bool compile(const std::string& text, kc::PreprocessorOptions options = {}) {
        kc::Preprocessor pp(sources, diag, std::move(options));
        pp.openText("test.idl", text);
        kc::Parser parser(pp, diag);
        spec = parser.parse();
        if (diag.errors() == 0) kc::lower(spec, diag);
        return diag.errors() == 0;
    }
    const std::vector<std::string>& messages() const { return diag.messages(); }

    static Entry* cls(const char* name) { return kavc::findClass(name); }
    kc::Sources sources;
    kc::Diagnostics diag{sources};
    kc::Specification spec;
};

}  // namespace kc_testing
