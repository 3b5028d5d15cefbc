// Fuzz target: well-formed class graphs written as IDL from the fuzzer's bytes (parents,
// methods, attributes, data members, overrides, random modifiers and global options from the
// option table), through the front end and `emit` in both passes.
#include "host/option_table.h"
#include "fuzz/compile_text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

namespace {

using darurov::OptionKind;
using darurov::optionTable;

constexpr const char* methodNames[] = {"run", "walk", "talk", "size", "kavGetSize", "kavDefaultInit",
                                       "kavDestruct", "kavInit", "kavDefaultAssign", "kavDefaultCopyInit"};
constexpr const char* types[] = {"void", "long", "string", "float", "double", "boolean", "octet", "char"};
constexpr const char* params[] = {"", "in long a", "out string s", "inout float f, in double d",
                                  "in octet o, out boolean b", "inout kavInitCtrl ctrl"};
constexpr const char* values[] = {"", "1", "4", "8", "x_", "M_", "\"text\"", "run", "C0", "C1", "M_C0",
                                  "\"m::C1\"", "KAVObject", "\"C0, C1\"", "\"a \\\"quoted\\\" text\""};

template <size_t N>
const char* pick(FuzzedDataProvider& in, const char* const (&pool)[N]) {
    return pool[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

// A modifier of the option table that can stand on `kind`, with a value when it takes one.
std::string modifier(FuzzedDataProvider& in, unsigned kind) {
    std::vector<const darurov::OptionRow*> rows;
    for (const auto& row : optionTable)
        if ((row.kinds & kind) && row.id != darurov::Option::override && row.id != darurov::Option::reintroduce)
            rows.push_back(&row);
    const darurov::OptionRow& row = *rows[in.ConsumeIntegralInRange<size_t>(0, rows.size() - 1)];
    std::string text = row.name;
    if (row.value == darurov::OptionValue::none) return text;
    const char* value = pick(in, values);
    if (row.id == darurov::Option::metaclass || row.id == darurov::Option::companion) value = "M";
    if (*value || row.value == darurov::OptionValue::required) text += std::string(" = ") + (*value ? value : "1");
    return text;
}

// KAVObject's methods, which every class inherits.
constexpr const char* rootMethods[] = {"kavGetSize", "kavDefaultInit", "kavDestruct", "kavInit", "kavUninit",
                                       "kavDefaultAssign", "kavDefaultCopyInit", "kavDefaultConstAssign"};

// A class's name: mostly C<index>; now and then the name of the metaclass the header makes for
// another class (M_C<k>), or a name in a module, so that clashes of names in C are reached too.
std::string className(FuzzedDataProvider& in, int index) {
    switch (in.ConsumeIntegralInRange(0, 15)) {
        case 0: return "M_C" + std::to_string(in.ConsumeIntegralInRange(0, 7));
        case 1: return "m::C" + std::to_string(index);
        case 2: return "m_C" + std::to_string(in.ConsumeIntegralInRange(0, 7));
        default: return "C" + std::to_string(index);
    }
}

// One class, named names[index] ("m::C1" is written in a module m); `introduced` gathers the
// methods of the classes written so far.
std::string classText(FuzzedDataProvider& in, int index, const std::vector<std::string>& names,
                      std::vector<std::string>& introduced) {
    const std::string& name = names[static_cast<size_t>(index)];
    const bool inModule = name.starts_with("m::");
    std::string text = std::string(inModule ? "module m { " : "") + "interface " + (inModule ? name.substr(3) : name);
    int parents = index == 0 ? in.ConsumeIntegralInRange(0, 1) : in.ConsumeIntegralInRange(0, 3);
    for (int p = 0; p < parents; ++p) {
        int which = in.ConsumeIntegralInRange(-2, index - 1);
        text += p == 0 ? " : " : ", ";
        text += which == -2 ? "::KAVObject" : which == -1 ? "::KAVClass" : "::" + names[static_cast<size_t>(which)];
    }
    text += " {\n";
    std::vector<std::string> own;
    for (int m = in.ConsumeIntegralInRange(0, 4); m > 0; --m) {
        std::string method = std::string(pick(in, methodNames)) + std::to_string(index) + "_" + std::to_string(m);
        own.push_back(method);
        introduced.push_back(method);
        text += std::string("  ") + pick(in, types) + " " + method + "(" + pick(in, params) + ");\n";
    }
    if (in.ConsumeBool()) text += "  attribute long a" + std::to_string(index) + ";\n";
    text += "  implementation {\n";
    bool ordered = false;
    for (int s = in.ConsumeIntegralInRange(0, 8); s > 0; --s) {
        switch (in.ConsumeIntegralInRange(0, 4)) {
            case 0: text += "    " + modifier(in, darurov::classModifier) + ";\n"; break;
            case 1: {  // an override of a name some ancestor may have
                std::string target = pick(in, rootMethods);
                if (!introduced.empty() && in.ConsumeBool())
                    target = introduced[in.ConsumeIntegralInRange<size_t>(0, introduced.size() - 1)];
                text += "    " + target + ": override;\n";
                break;
            }
            case 2:
                if (!own.empty())
                    text += "    " + own[in.ConsumeIntegralInRange<size_t>(0, own.size() - 1)] + ": " +
                            modifier(in, darurov::methodModifier) + ";\n";
                break;
            case 3: text += "    long d" + std::to_string(s) + ";\n    d" + std::to_string(s) + ": " +
                            modifier(in, darurov::dataModifier) + ";\n"; break;
            default:
                if (!ordered && !own.empty()) text += "    releaseorder: " + own[0] + ";\n";
                ordered = true;
                break;
        }
    }
    return text + "  };\n};\n" + (inModule ? "};\n" : "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::pair<std::string, const char*>> options;
    for (const auto& row : optionTable)
        if ((row.kinds & darurov::globalOption) && in.ConsumeBool()) options.emplace_back(row.name, nullptr);
    std::string text = "interface M : KAVClass { long census(); };\n";
    int classes = in.ConsumeIntegralInRange(1, 8);
    std::vector<std::string> names;
    for (int i = 0; i < classes; ++i) names.push_back(className(in, i));
    std::vector<std::string> introduced;
    for (int i = 0; i < classes; ++i) text += classText(in, i, names, introduced);
    darurov_fuzz::compileText(text, options);
    return 0;
}
