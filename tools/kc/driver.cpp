#include "kc/driver.h"

#include "host/option_table.h"
#include "kc/depfile.h"
#include "kc/lower.h"
#include "kc/options.h"
#include "kc/parser.h"
#include "kc/platform.h"
#include "kc/shared_names.h"
#include "kavc/model.h"
#include "kavc/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

// The plug-in's file name, and where the install puts it relative to kc's own directory
// (empty: beside kc).
#ifndef DARUROV_PLUGIN_NAME
#define DARUROV_PLUGIN_NAME "libdarurov.so"
#endif
#ifndef DARUROV_PLUGIN_RELDIR
#define DARUROV_PLUGIN_RELDIR ""
#endif
#ifndef DARUROV_VERSION
#define DARUROV_VERSION "unknown"
#endif

namespace kc {

namespace {

bool hasDirectory(const std::string& path) {
#ifdef _WIN32
    return path.find_first_of("/\\:") != std::string::npos;
#else
    return path.find('/') != std::string::npos;
#endif
}

// Loads `path` and finds its entry point. On failure `why` gives the reason and `loaded` says
// whether the library itself was loaded.
kavc::EmitFn openEmitter(const std::string& path, std::string& why, bool& loaded) {
    void* library = platform::loadLibrary(path, why);
    loaded = library != nullptr;
    if (!library) return nullptr;
    if (void* symbol = platform::findSymbol(library, "emit")) return reinterpret_cast<kavc::EmitFn>(symbol);
    why = "no 'emit' entry point";
    platform::unloadLibrary(library);
    return nullptr;
}

kavc::EmitFn loadEmitter(const std::string& given, Diagnostics& diag) {
    std::string why;
    bool loaded = false;
    if (!given.empty()) {
        // A bare name would send the loader through the library path; a user means the file.
        std::string path = hasDirectory(given) ? given : "./" + given;
        if (kavc::EmitFn emit = openEmitter(path, why, loaded)) return emit;
        diag.toolError(loaded ? "emitter " + quote(path) + " has " + why
                              : "cannot load emitter " + quote(path) + ": " + why);
        return nullptr;
    }
    // Beside kc (the build tree), then where the install put it, relative to kc's directory
    // so that a moved installation still finds it.
    std::string dir = platform::executableDir();
    std::vector<std::string> places{dir + DARUROV_PLUGIN_NAME};
    if (*DARUROV_PLUGIN_RELDIR) places.push_back(dir + DARUROV_PLUGIN_RELDIR "/" DARUROV_PLUGIN_NAME);
    std::string looked;
    for (const std::string& path : places) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
            why = "not found";
        else if (kavc::EmitFn emit = openEmitter(path, why, loaded))
            return emit;
        looked += "\n  " + path + ": " + why;
    }
    diag.toolError("cannot load the emitter plug-in; looked in:" + looked +
                   "\n(name one with --emitter PATH)");
    return nullptr;
}

// The output directory exists (made when missing) and a file can be created in it.
bool prepareOutputDir(const std::string& dir, Diagnostics& diag) {
    std::error_code ec;
    if (!std::filesystem::exists(dir, ec)) {
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            diag.toolError("cannot create output directory " + quote(dir) + ": " + ec.message());
            return false;
        }
    }
    if (!std::filesystem::is_directory(dir, ec)) {
        diag.toolError("output directory " + quote(dir) + " is not a directory");
        return false;
    }
    std::string probe;
    FILE* file = kavc::platform::createTempFile(dir, "kc-probe", probe);
    if (!file) {
        diag.toolError("cannot write to output directory " + quote(dir) + ": " + std::strerror(errno));
        return false;
    }
    std::fclose(file);
    std::remove(probe.c_str());
    return true;
}

// `<stem><suffix>` in the output directory, as a make rule names it.
std::string outputPath(const Options& options, const char* suffix) {
    std::string name = std::string(kavtfileStem) + suffix;
    return options.outputDir == "." || options.outputDir == "-" ? name : options.outputDir + "/" + name;
}

// Writes the make rule of this compilation where -M/-MD/-MF/-MT say.
bool writeDependencies(const Options& options, const Sources& sources, Diagnostics& diag) {
    std::vector<std::string> targets = options.depTargets;
    if (targets.empty()) targets.push_back(outputPath(options, ".xih"));
    std::string path = options.depFile;
    if (path.empty()) path = options.depsOnly ? "-" : outputPath(options, ".d");
    if (writeTextFile(path, dependencyRule(targets, sources, options.depsPhony))) return true;
    diag.toolError("cannot write dependency file " + quote(path) + ": " + std::strerror(errno));
    return false;
}

// The run that messages of the host and the limit of errors reach from outside the phases.
struct Run {
    Diagnostics* diag = nullptr;
    const DeclarationPlaces* places = nullptr;
    int mainFile = 0;
};
Run run;

// The emitter's messages, presented like kc's own at the declaration they concern.
void hostMessage(const char*, int line, const char* kind, const std::string& text, int number, Entry* current) {
    Loc at = run.places->find(current, line);
    if (at.file < 0 && line > 0) at = Loc{run.mainFile, line, 0, 0};
    run.diag->hostMessage(at, kind, text, number);
    if (std::strcmp(kind, "fatal error") == 0) run.diag->finish();  // the host ends the run next
}

void stopAtLimit() {
    kavc::discardOutput();
    std::exit(1);
}

// The main file declares a class that the header is written for.
bool writesAClass(const std::vector<Entry*>& toEmit) {
    std::vector<Entry*> pending(toEmit);
    while (!pending.empty()) {
        Entry* e = pending.back();
        pending.pop_back();
        if (e->type == kavtClassType) return true;
        if (e->type == kavtModuleType)
            for (Entry* m = e->members; m; m = m->next) pending.push_back(m);
    }
    return false;
}

// What a run holds at its peak is about 32 bytes per byte of IDL (the syntax tree, the model
// and the emitter's lists). The main file's size stands for the whole input; it is taken
// before the file is read, so that the file's text lies in the prepared heap too.
std::size_t heapFor(const std::string& input) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(input, ec);
    return ec ? 0 : static_cast<std::size_t>(size) * 32;
}

// Each phase runs only when the ones before it reported no error; an error of the command
// line (a warning there under -Werror) stops nothing but the output.
int compile(const Options& options, Sources& sources, Diagnostics& diag) {
    const int before = diag.errors();
    auto failed = [&] { return diag.errors() > before; };
    kavc::reset();
    kavc::EmitFn emit = nullptr;
    if (!options.depsOnly && !(emit = loadEmitter(options.emitter, diag))) return 1;

    kavc::setFilePath(options.input);
    kavc::setClassPrefix(options.classPrefix ? options.classPrefix->c_str() : nullptr);
    for (const auto& [name, value] : options.emitterOptions)
        kavc::setOption(name, value ? value->c_str() : nullptr);
    if (options.noDuplicateIntroducerCheck)
        kavc::setFlag(darurov::duplicateCheckOffWord, darurov::duplicateCheckOffBit);

    platform::prepareHeap(heapFor(options.input));
    Preprocessor pp(sources, diag, PreprocessorOptions{options.includeDirs, options.defines});
    if (!pp.openMain(options.input)) return 1;
    Parser parser(pp, diag);
    Specification spec = parser.parse();
    if (failed()) return 1;
    if (options.depsOnly) return writeDependencies(options, sources, diag) ? 0 : 1;
    platform::heapAfterParsing();
    DeclarationPlaces places;
    std::vector<Entry*> toEmit = lower(spec, diag, &places);
    if (failed()) return 1;
    if (!writesAClass(toEmit)) {
        diag.warning(Loc{0, 0, 0, 0},
                     std::string(toEmit.empty() ? "no interface or module" : "no interface in its modules") +
                         " to write; no header written",
                     Group::emptyOutput);
        return diag.errors() ? 1 : 0;
    }

    if (options.outputDir != "-" && !prepareOutputDir(options.outputDir, diag)) return 1;
    warnSharedFunctionNames(toEmit, places, diag);
    if (failed()) return 1;  // a warning made an error by -Werror
    run.places = &places;
    kavc::setMessageSink(hostMessage);
    kavc::setEmitter(emit);
    kavc::setOutputDir(options.outputDir);
    for (Entry* e : toEmit) emit(kavtfileStem, e, kavc::unitStab());
    kavc::setMessageSink(nullptr);
    if (diag.errors() > 0) {
        kavc::discardOutput();
        return 1;
    }
    if (!kavc::commitOutput()) {
        diag.toolError("cannot write " + kavc::outputError());
        return 1;
    }
    if (options.depsToo && !writeDependencies(options, sources, diag)) return 1;
    return 0;
}

}  // namespace

int runCompiler(int argc, const char* const* argv) {
    Sources sources;
    Diagnostics diag(sources);
    Options options;
    if (!parseOptions(argc, argv, options, diag)) {
        diag.finish();
        return 1;
    }
    if (options.help) {
        std::fputs(usage(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kc (darurov) %s\n", DARUROV_VERSION);
        return 0;
    }
    if (options.input.empty()) {
        diag.toolError("no input file (try 'kc --help')");
        diag.finish();
        return 1;
    }
    run.diag = &diag;
    diag.setOnLimit(stopAtLimit);
    int status = compile(options, sources, diag);
    diag.finish();
    return status;
}

}  // namespace kc
