#include "kc/depfile.h"

#include "kavc/platform.h"

#include <cstdio>
#include <set>

namespace kc {

namespace {

// A path as make reads it: a space or '#' escaped with '\', '$' doubled.
std::string makeEscaped(const std::string& path) {
    std::string text;
    for (char c : path) {
        if (c == ' ' || c == '#') text += '\\';
        if (c == '$') text += '$';
        text += c;
    }
    return text;
}

}  // namespace

std::string dependencyRule(const std::vector<std::string>& targets, const Sources& sources,
                           bool phonyTargets) {
    std::string rule;
    for (const std::string& target : targets) {
        if (!rule.empty()) rule += ' ';
        rule += makeEscaped(target);
    }
    rule += ':';
    std::set<std::string> seen;
    std::vector<std::string> included;
    for (int i = 0; i < sources.count(); ++i) {
        const std::string& path = sources.file(i).path;
        if (!seen.insert(path).second) continue;
        rule += i == 0 ? " " : " \\\n  ";
        rule += makeEscaped(path);
        if (i > 0) included.push_back(path);
    }
    rule += "\n";
    if (phonyTargets)
        for (const std::string& path : included) rule.append("\n").append(makeEscaped(path)).append(":\n");
    return rule;
}

bool writeTextFile(const std::string& path, const std::string& text) {
    if (path == "-") return kavc::platform::writeStdout(text);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && ok;
}

}  // namespace kc
