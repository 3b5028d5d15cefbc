#include "kc/options.h"

#include "driver/option_table.h"

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

// One line per global option of the option table, its effect wrapped to the help's width.
std::string globalOptionHelp() {
    const std::string indent(20, ' ');
    std::string text;
    for (const darurov::OptionRow& row : darurov::optionTable) {
        if (!(row.kinds & darurov::globalOption)) continue;
        std::string line = "    " + std::string(row.name);
        line.resize(indent.size(), ' ');
        for (const char* word = row.effect; *word;) {
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
        text += line + "\n";
    }
    return text;
}

}  // namespace

const char* usage() {
    static const std::string text = std::string("Usage: kc [options] FILE.idl\n"
           "Compile an IDL file and write its C++ implementation header DIR/<stem>.xih.\n"
           "\n"
           "Options:\n"
           "  -o DIR          write DIR/<stem>.xih (default: the current directory; created\n"
           "                  when missing); stem = the file name without directory and .idl;\n"
           "                  -o - writes the header to standard output\n"
           "  -I DIR          search DIR for #include files, after the including file's\n"
           "                  directory (repeatable)\n"
           "  -D NAME[=VAL]   define a preprocessor symbol (VAL defaults to 1); __KAVIDL__ is\n"
           "                  always defined\n"
           "  -m NAME[=VAL]   set a global option (repeatable); other names are warned\n"
           "                  about and passed on as written:\n") +
           globalOptionHelp() +
           "  -p PREFIX       the global class prefix of function names\n"
           "  -M              write a make rule naming the input and every file it includes\n"
           "                  instead of the header (to standard output unless -MF)\n"
           "  -MD             write the header and that rule (to DIR/<stem>.d unless -MF)\n"
           "  -MF FILE        write the rule to FILE\n"
           "  -MT TARGET      the rule's target (repeatable; default: DIR/<stem>.xih)\n"
           "  -MP             add an empty rule for each included file\n"
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
        if (arg == "-M" || arg == "-MD" || arg == "-MP") {
            (arg == "-M" ? options.depsOnly : arg == "-MD" ? options.depsToo : options.depsPhony) = true;
            continue;
        }
        // Options with a value: "-o DIR", "-oDIR", "-MF FILE", "--emitter PATH", "--emitter=PATH".
        std::string flag, value;
        bool hasValue = false;
        if (arg.rfind("-MF", 0) == 0 || arg.rfind("-MT", 0) == 0) {
            flag = arg.substr(0, 3);
            if (arg.size() > 3) {
                value = arg.substr(3);
                hasValue = true;
            }
        } else if (arg.rfind("--emitter", 0) == 0 && (arg.size() == 9 || arg[9] == '=')) {
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
            diag.toolError("unrecognized command-line option " + quote(arg));
            ok = false;
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
            if (!row) diag.warning({}, "unknown emitter option " + quote(name));
            if (row && row->id == darurov::Option::nodupcheck)
                options.noDuplicateIntroducerCheck = true;
            else
                options.emitterOptions.emplace_back(name, val);
        } else if (flag == "-p") {
            options.classPrefix = value;
        } else if (flag == "-MF") {
            options.depFile = value;
        } else if (flag == "-MT") {
            options.depTargets.push_back(value);
        } else {
            options.emitter = value;
        }
    }
    return ok;
}

}  // namespace kc
