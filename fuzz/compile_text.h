// What both fuzz targets do with IDL text: the whole kc pipeline in memory, then `emit` for
// every class into an in-memory stream (both passes where the class has a metaclass).
#pragma once

#include "kavc/model.h"
#include "kc/lower.h"
#include "kc/parser.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

extern "C" FILE* emit(const char* fileStem, Entry* entry, Stab* stab);

namespace darurov_fuzz {

// Runs `text` as fuzz.idl with the global options `options` (name, value or null).
// An internal error reported for input the front end accepted is a fault: it aborts.
inline void compileText(const std::string& text, const std::vector<std::pair<std::string, const char*>>& options) {
    kavc::reset();
    kavc::throwOnFatal(true);
    kavc::captureOutput();
    kavc::setFilePath("fuzz.idl");
    for (const auto& [name, value] : options) kavc::setOption(name, value);
    kc::Sources sources;
    kc::Diagnostics diag(sources);
    diag.setEcho(false);
    kc::Preprocessor pp(sources, diag, {});
    pp.openText("fuzz.idl", text);
    kc::Parser parser(pp, diag);
    kc::Specification spec = parser.parse();
    if (diag.errors()) return;
    std::vector<Entry*> toEmit = kc::lower(spec, diag);
    if (diag.errors()) return;
    kavc::setEmitter(emit);
    try {
        for (Entry* e : toEmit) emit(kavtfileStem, e, kavc::unitStab());
    } catch (const kavc::Fatal&) {
        // a fatal message (an "apply" without a stub name): the run ends there, as kc's does
    }
    for (const std::string& m : kavc::messages())
        if (m.find("internal error") != std::string::npos) {
            std::fprintf(stderr, "%s\n--- input ---\n%s\n", m.c_str(), text.c_str());
            std::abort();
        }
    kavc::discardOutput();
}

}  // namespace darurov_fuzz
