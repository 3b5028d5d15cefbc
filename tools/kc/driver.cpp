#include "kc/driver.h"

#include "host/option_table.h"
#include "kc/lower.h"
#include "kc/options.h"
#include "kc/parser.h"
#include "kc/shared_names.h"
#include "kavc/model.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifndef DARUROV_DEFAULT_PLUGIN
#define DARUROV_DEFAULT_PLUGIN "libdarurov.so"
#endif
#ifndef DARUROV_VERSION
#define DARUROV_VERSION "unknown"
#endif

namespace kc {

namespace {

// The plug-in beside the kc executable (build tree), else in the lib directory next to
// its bin directory (installed tree).
std::string defaultEmitter() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string dir;
    if (n > 0) {
        std::string self(buf, static_cast<size_t>(n));
        dir = self.substr(0, self.rfind('/') + 1);
    }
    for (const char* sub : {"", "../lib/", "../lib64/"}) {
        std::string candidate = dir + sub + DARUROV_DEFAULT_PLUGIN;
        if (::access(candidate.c_str(), R_OK) == 0) return candidate;
    }
    return dir + DARUROV_DEFAULT_PLUGIN;
}

kavc::EmitFn loadEmitter(const std::string& given, Diagnostics& diag) {
    std::string path = given.empty() ? defaultEmitter() : given;
    // dlopen would search the library path for a bare name; a user means the file.
    if (path.find('/') == std::string::npos) path = "./" + path;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        diag.toolError("cannot load emitter " + quote(path) + ": " + (why ? why : "unknown reason"));
        return nullptr;
    }
    void* symbol = ::dlsym(handle, "emit");
    if (!symbol) {
        diag.toolError("emitter " + quote(path) + " has no 'emit' entry point");
        ::dlclose(handle);
        return nullptr;
    }
    return reinterpret_cast<kavc::EmitFn>(symbol);
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
    std::string probe = dir + "/.kc-probe-XXXXXX";
    int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        diag.toolError("cannot write to output directory " + quote(dir) + ": " + std::strerror(errno));
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
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

// Each phase runs only when the ones before it reported no error; an error of the command
// line (a warning there under -Werror) stops nothing but the output.
int compile(const Options& options, Sources& sources, Diagnostics& diag) {
    const int before = diag.errors();
    auto failed = [&] { return diag.errors() > before; };
    kavc::reset();
    kavc::EmitFn emit = loadEmitter(options.emitter, diag);
    if (!emit) return 1;

    kavc::setFilePath(options.input);
    kavc::setClassPrefix(options.classPrefix ? options.classPrefix->c_str() : nullptr);
    for (const auto& [name, value] : options.emitterOptions)
        kavc::setOption(name, value ? value->c_str() : nullptr);
    if (options.noDuplicateIntroducerCheck)
        kavc::setFlag(darurov::duplicateCheckOffWord, darurov::duplicateCheckOffBit);

    Preprocessor pp(sources, diag, PreprocessorOptions{options.includeDirs, options.defines});
    if (!pp.openMain(options.input)) return 1;
    Parser parser(pp, diag);
    Specification spec = parser.parse();
    if (failed()) return 1;
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

    if (!prepareOutputDir(options.outputDir, diag)) return 1;
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
