// The host's message texts, their GCC-style reports, counts, and the fatal path.
#include "kavc/store.h"

#include <cstdarg>
#include <cstdlib>
#include <string>

using namespace kavc::detail;

namespace {

struct MessageText {
    int number;
    int arguments;  // texts the caller passes after the number
    const char* format;
};

// %s placeholders take the caller's texts in order.
constexpr MessageText messageTexts[] = {
    {1, 1, "the emitter was handed %s"},
    {23, 1, "apply stub \"%s\" is already generated in this file; the existing stub is used"},
    {24, 0, "the \"apply\" modifier needs a value: the name of the apply stub to use"},
    {25, 2, "no parent of class \"%s\" has the overridden method \"%s\""},
    {26, 1, "cannot override method \"%s\": it is declared as a procedure or as non-static"},
    {33, 0, "shadow class rule broken (see the message printed above)"},
    {35, 3, "method \"%s\" is introduced twice, by class \"%s\" and by class \"%s\"; only "
            "procedures and non-static methods may be reintroduced"},
    {228, 1, "initializer \"%s\" overrides or reintroduces an inherited method; only a class "
             "with the \"shadow\" modifier may do that"},
};

bool throwOnFatalFlag = false;
kavc::MessageSink sink = nullptr;

std::string messageText(int number, va_list args) {
    for (const MessageText& m : messageTexts) {
        if (m.number != number) continue;
        std::string text = m.format;
        std::size_t from = 0;
        for (int i = 0; i < m.arguments; ++i) {
            const char* arg = va_arg(args, const char*);
            std::string value = arg ? arg : "(null)";
            auto at = text.find("%s", from);
            if (at == std::string::npos) break;
            text.replace(at, 2, value);
            from = at + value.size();
        }
        return text;
    }
    return "message " + std::to_string(number);
}

void report(const char* file, int line, int number, const char* kind, bool isError,
            bool isWarning, va_list args) {
    reportLine(file, line, kind, messageText(number, args), number, isError, isWarning);
}

}  // namespace

namespace kavc::detail {

void reportLine(const char* file, int line, const char* kind, const std::string& text, int number,
                bool isError, bool isWarning) {
    Model& m = model();
    if (isError) ++m.errors;
    if (isWarning) ++m.warnings;
    if (sink) {
        sink(file, line, kind, text, number, m.current);
        return;
    }
    std::string where = file && *file ? file : "kc";
    if (line > 0) where.append(":").append(std::to_string(line));
    std::string printed = where + ": " + kind + ": " + text;
    if (number > 0) printed += " [" + std::to_string(number) + "]";
    std::fprintf(stderr, "%s\n", printed.c_str());
    m.messages.push_back(printed);
}

}  // namespace kavc::detail

namespace kavc {

int errorCount() { return model().errors; }
int warningCount() { return model().warnings; }
std::vector<std::string>& messages() { return model().messages; }
void throwOnFatal(bool on) { throwOnFatalFlag = on; }
void setMessageSink(MessageSink to) { sink = to; }

}  // namespace kavc

void kavtmrierror(const char* file, int line, int number, ...) {
    va_list args;
    va_start(args, number);
    report(file, line, number, "error", true, false, args);
    va_end(args);
}

void kavtmriwarn(const char* file, int line, int number, ...) {
    va_list args;
    va_start(args, number);
    report(file, line, number, "warning", false, true, args);
    va_end(args);
}

void kavtmriinternal(const char* file, int line, int number, ...) {
    va_list args;
    va_start(args, number);
    report(file, line, number, "internal error", true, false, args);
    va_end(args);
}

void kavtmrifatal(const char* file, int line, int number, ...) {
    va_list args;
    va_start(args, number);
    report(file, line, number, "fatal error", true, false, args);
    va_end(args);
}

void kavtcleanFilesFatal(int status) {
    kavc::discardOutput();
    if (throwOnFatalFlag) throw kavc::Fatal{status};
    std::fflush(stdout);
    std::exit(2);
}
