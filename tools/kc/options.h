// The command line of kc.
#pragma once

#include "kc/diagnostics.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kc {

struct Options {
    std::string input;
    std::string outputDir = ".";
    std::vector<std::string> includeDirs;
    std::vector<std::pair<std::string, std::string>> defines;  // -D NAME[=VALUE]; bare: "1"
    // -m NAME[=VALUE]: global options for the emitter; no value: a bare option
    std::vector<std::pair<std::string, std::optional<std::string>>> emitterOptions;
    bool noDuplicateIntroducerCheck = false;  // -m nodupcheck
    std::optional<std::string> classPrefix;   // -p
    std::string emitter;                      // --emitter; empty: the installed plug-in
    DiagnosticOptions diagnostics;            // -W..., -w, -fdiagnostics-color=, -fmax-errors=
    bool help = false;
    bool version = false;
};

// Reads argv into `options`; false after reporting a misuse ("kc: error: ...").
bool parseOptions(int argc, const char* const* argv, Options& options, Diagnostics& diag);

// The --help text.
const char* usage();

}  // namespace kc
