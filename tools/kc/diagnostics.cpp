#include "kc/diagnostics.h"

#include <cstdio>

namespace kc {

int Sources::add(std::string path, std::string text, Loc includedFrom) {
    files_.push_back({std::move(path), std::move(text), includedFrom});
    return count() - 1;
}

std::string quote(const std::string& text) { return "'" + text + "'"; }

void Diagnostics::error(Loc at, const std::string& what) {
    ++errors_;
    report(at, "error", what);
}

void Diagnostics::warning(Loc at, const std::string& what) {
    ++warnings_;
    report(at, "warning", what);
}

void Diagnostics::note(Loc at, const std::string& what) { report(at, "note", what); }

void Diagnostics::toolError(const std::string& what) {
    ++errors_;
    std::string line = "kc: error: " + what;
    messages_.push_back(line);
    if (echo_) std::fprintf(stderr, "%s\n", line.c_str());
}

void Diagnostics::report(Loc at, const char* kind, const std::string& what) {
    std::string where;
    std::string chain;
    if (at.file >= 0 && at.file < sources_.count()) {
        const SourceFile& f = sources_.file(at.file);
        where = f.path + ":" + std::to_string(at.line) + ":" + std::to_string(at.col) + ": ";
        const char* lead = "In file included from ";
        for (Loc from = f.includedFrom; from.file >= 0;) {
            const SourceFile& outer = sources_.file(from.file);
            chain += lead + outer.path + ":" + std::to_string(from.line);
            from = outer.includedFrom;
            chain += from.file >= 0 ? ",\n" : ":\n";
            lead = "                 from ";
        }
    } else {
        where = "kc: ";
    }
    std::string line = where + kind + ": " + what;
    messages_.push_back(line);
    if (echo_) std::fprintf(stderr, "%s%s\n", chain.c_str(), line.c_str());
}

}  // namespace kc
