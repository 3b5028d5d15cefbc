#include "kc/options.h"

#include "host/option_table.h"

#include <cctype>
#include <cstring>

namespace kc {

namespace {

bool isIdentifier(const std::string& text) {
    if (text.empty() || !(std::isalpha(static_cast<unsigned char>(text[0])) || text[0] == '_')) return false;
    for (char c : text)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

// NAME=VALUE or NAME.
std::pair<std::string, std::optional<std::string>> split(const std::string& text) {
    size_t eq = text.find('=');
    if (eq == std::string::npos) return {text, std::nullopt};
    return {text.substr(0, eq), text.substr(eq + 1)};
}

// "    name            text", the text wrapped to the help's width.
std::string helpEntry(const std::string& name, const char* effect) {
    const std::string indent(20, ' ');
    std::string text;
    std::string line = "    " + name;
    if (line.size() >= indent.size()) {
        text += line + "\n";
        line = indent;
    }
    line.resize(indent.size(), ' ');
    for (const char* word = effect; *word;) {
        const char* end = std::strchr(word, ' ');
        if (!end) end = word + std::strlen(word);
        std::string piece(word, end);
        if (line.size() > indent.size() && line.size() + 1 + piece.size() > 79) {
            text += line + "\n";
            line = indent;
        }
        line += (line.size() > indent.size() ? " " : "") + piece;
        word = *end ? end + 1 : end;
    }
    return text + line + "\n";
}

// One entry per global option of the option table.
std::string globalOptionHelp() {
    std::string text;
    for (const darurov::OptionRow& row : darurov::optionTable)
        if (row.kinds & darurov::globalOption) text += helpEntry(row.name, row.effect);
    return text;
}

// One entry per warning group.
std::string warningGroupHelp() {
    std::string text;
    for (std::size_t i = 0; i < groupCount; ++i) text += helpEntry(groupTable[i].name, groupTable[i].what);
    return text;
}

// The global options' names, for "did you mean".
std::vector<std::string_view> globalOptionNames() {
    std::vector<std::string_view> names;
    for (const darurov::OptionRow& row : darurov::optionTable)
        if (row.kinds & darurov::globalOption) names.push_back(row.name);
    return names;
}

// -Werror, -w, -W<group>, -Wno-<group>, -fdiagnostics-color[=WHEN], -fno-diagnostics-color,
// -fmax-errors=N. False when `arg` is none of them; `why` is set when it is one, misspelt.
bool diagnosticFlag(const std::string& arg, DiagnosticOptions& d, std::string& why) {
    if (arg == "-Werror") {
        d.warningsAreErrors = true;
    } else if (arg == "-w") {
        d.noWarnings = true;
    } else if (arg.rfind("-W", 0) == 0) {
        bool off = arg.rfind("-Wno-", 0) == 0;
        std::string name = arg.substr(off ? 5 : 2);
        const GroupRow* row = findGroup(name);
        if (!row) {
            std::vector<std::string_view> names;
            for (std::size_t i = 0; i < groupCount; ++i) names.push_back(groupTable[i].name);
            std::string best = closestSpelling(name, names);
            why = "unrecognized command-line option " + quote(arg) +
                  (best.empty() ? "" : "; did you mean " + quote((off ? "-Wno-" : "-W") + best) + "?");
            return true;
        }
        d.groups[static_cast<std::size_t>(row->id)] = off ? -1 : 1;
    } else if (arg == "-fdiagnostics-color" || arg == "-fdiagnostics-color=always") {
        d.color = Color::always;
    } else if (arg == "-fno-diagnostics-color" || arg == "-fdiagnostics-color=never") {
        d.color = Color::never;
    } else if (arg == "-fdiagnostics-color=auto") {
        d.color = Color::automatic;
    } else if (arg.rfind("-fdiagnostics-color=", 0) == 0) {
        why = "argument " + quote(arg.substr(20)) + " to '-fdiagnostics-color=' is not one of 'never', 'always', 'auto'";
    } else if (arg.rfind("-fmax-errors=", 0) == 0) {
        std::string n = arg.substr(13);
        char* end = nullptr;
        long value = n.empty() || !std::isdigit(static_cast<unsigned char>(n[0])) ? -1 : std::strtol(n.c_str(), &end, 10);
        if (value < 0 || *end || value > 1000000)
            why = "argument to '-fmax-errors=' should be a non-negative integer, not " + quote(n);
        else
            d.maxErrors = static_cast<int>(value);
    } else {
        return false;
    }
    return true;
}

}  // namespace

const char* usage() {
    static const std::string text = std::string("Usage: kc [options] FILE.idl\n"
           "Compile an IDL file and write its C++ implementation header DIR/<stem>.xih.\n"
           "\n"
           "Options:\n"
           "  -o DIR          write DIR/<stem>.xih (default: the current directory; created\n"
           "                  when missing); stem = the file name without directory and .idl\n"
           "  -I DIR          search DIR for #include files, after the including file's\n"
           "                  directory (repeatable)\n"
           "  -D NAME[=VAL]   define a preprocessor symbol (VAL defaults to 1); __KAVIDL__ is\n"
           "                  always defined\n"
           "  -m NAME[=VAL]   set a global option (repeatable); other names are warned\n"
           "                  about and passed on as written:\n") +
           globalOptionHelp() +
           "  -p PREFIX       the global class prefix of function names\n"
           "  -Werror         make every warning an error\n"
           "  -w              show no warning\n"
           "  -W<group>, -Wno-<group>\n"
           "                  show or hide one group of warnings:\n" +
           warningGroupHelp() +
           "  -fdiagnostics-color=WHEN\n"
           "                  colour messages: auto (on a terminal, the default), always, never\n"
           "  -fmax-errors=N  stop after N errors (default 20; 0: no limit)\n"
           "  --emitter PATH  load this emitter plug-in instead of the installed one\n"
           "  --help          print this text and exit\n"
           "  --version       print the version and exit\n"
           "\n"
           "Exit status: 0 on success (warnings allowed), 1 when an error was reported,\n"
           "2 after a fatal error of the emitter. On error no output file is left behind.\n";
    return text.c_str();
}

bool parseOptions(int argc, const char* const* argv, Options& options, Diagnostics& diag) {
    bool onlyFiles = false;
    bool ok = true;
    std::vector<std::string> unknown;  // -m names, warned about once every flag is read
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            if (arg == "-") {
                diag.toolError("reading from standard input is not supported; name an IDL file");
                ok = false;
            } else if (!options.input.empty()) {
                diag.toolError("only one input file may be given (" + quote(options.input) + " and " +
                               quote(arg) + ")");
                ok = false;
            } else {
                options.input = arg;
            }
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--version") {
            options.version = true;
            continue;
        }
        // Options with a value: "-o DIR", "-oDIR", "--emitter PATH", "--emitter=PATH".
        std::string flag, value;
        bool hasValue = false;
        if (arg.rfind("--emitter", 0) == 0 && (arg.size() == 9 || arg[9] == '=')) {
            flag = "--emitter";
            if (arg.size() > 9) {
                value = arg.substr(10);
                hasValue = true;
            }
        } else if (arg.size() >= 2 && std::strchr("oIDmp", arg[1]) && arg[1] != '\0' &&
                   arg.rfind("--", 0) != 0) {
            flag = arg.substr(0, 2);
            if (arg.size() > 2) {
                value = arg.substr(2);
                hasValue = true;
            }
        } else {
            std::string why;
            if (!diagnosticFlag(arg, options.diagnostics, why)) why = "unrecognized command-line option " + quote(arg);
            if (!why.empty()) {
                diag.toolError(why);
                ok = false;
            }
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                diag.toolError("missing argument to " + quote(flag));
                ok = false;
                continue;
            }
            value = argv[++i];
        }
        if (flag == "-o") {
            if (value.empty()) {
                diag.toolError("empty output directory given to '-o'");
                ok = false;
            }
            options.outputDir = value;
        } else if (flag == "-I") {
            options.includeDirs.push_back(value);
        } else if (flag == "-D") {
            auto [name, val] = split(value);
            if (!isIdentifier(name)) {
                diag.toolError("macro names must be identifiers: " + quote(value));
                ok = false;
                continue;
            }
            options.defines.emplace_back(name, val ? *val : "1");
        } else if (flag == "-m") {
            auto [name, val] = split(value);
            if (name.empty()) {
                diag.toolError("an option name is needed after '-m'");
                ok = false;
                continue;
            }
            const darurov::OptionRow* row = darurov::findGlobalOption(name);
            if (!row) unknown.push_back(name);
            if (row && row->id == darurov::Option::nodupcheck)
                options.noDuplicateIntroducerCheck = true;
            else
                options.emitterOptions.emplace_back(name, val);
        } else if (flag == "-p") {
            options.classPrefix = value;
        } else {
            options.emitter = value;
        }
    }
    diag.setOptions(options.diagnostics);
    for (const std::string& name : unknown)
        diag.warning({}, "unknown emitter option " + quote(name) + ", passed on as written" +
                             didYouMean(name, globalOptionNames()), Group::unknownOption);
    return ok;
}

}  // namespace kc
