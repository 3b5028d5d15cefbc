// A class under construction for the class emitter's sections, and the pass they run in.
#pragma once

#include "driver/lists.h"
#include "driver/sections.h"
#include "driver/state.h"
#include "driver/text.h"
#include "header/header.h"
#include "support/text.h"

#include <string>
#include <vector>

namespace header_testing {

using testing_support::capture;
using testing_support::comment;
using testing_support::lines;

// Parameter separator of the host's prototypes.
inline const std::string sep = ",\n\t\t";
// Names parameterized cases after their `label` field.
inline constexpr auto byLabel = [](const auto& info) { return std::string(info.param.label); };

class HeaderTest : public testing_support::HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        kavc::setFilePath("animal.idl");
        kavc::setClassPrefix(nullptr);
        cls = kavc::newClass("Animal", {}, nullptr, 1);
        kavc::addParent(cls, kavc::findClass("KAVObject"), 1);
    }
    void TearDown() override {
        while (darurov::DeferredResolution* record = darurov::popDeferred())
            darurov::releaseDeferred(record);
        darurov::releasePassLists();
        HostTest::TearDown();
    }

    static void options(const std::vector<const char*>& names) {
        for (const char* name : names) kavc::setOption(name, nullptr);
    }
    Entry* method(const char* name, const char* result = "long") {
        return kavc::addMethod(cls, name, kavc::basicType(result), 10);
    }
    Entry* classMethod(const char* name, const char* result = "long") {
        Entry* m = method(name, result);
        kavc::addMod(m, "class");
        return m;
    }
    Entry* data(const char* name, const char* type = "long") {
        return kavc::addData(cls, name, kavc::basicType(type), 5);
    }
    // Makes `cls` a class `name` derived from Base, re-declaring Base's non-static "shared".
    Entry* derivedReintroducingShared(const char* name) {
        Entry* base = kavc::newClass("Base", {}, nullptr, 1);
        kavc::addParent(base, kavc::findClass("KAVObject"), 1);
        kavc::addMod(kavc::addMethod(base, "shared", kavc::basicType("long"), 2), "nonstatic");
        kavc::finishClass(base);
        cls = kavc::newClass(name, {}, nullptr, 3);
        kavc::addParent(cls, base, 3);
        return kavc::addReintroduce(cls, kavc::findMethod(base, "shared"), 4);
    }
    static Entry* explicitMetaclass() {
        Entry* meta = kavc::newClass("AnimalMeta", {}, nullptr, 1);
        kavc::addParent(meta, kavtkavcls, 1);
        kavc::finishClass(meta);
        return meta;
    }
    std::string section(void (*writer)(FILE*, Entry*)) {
        return capture([&](FILE* out) { writer(out, cls); });
    }

    // What emit runs before the class emitter; `prologue` also fixes the pass's prefixes.
    void startPass(bool metaclass = false, bool prologue = true) {
        kavc::finishClass(cls);
        capture([&](FILE* out) {
            darurov::passSetUp(out, cls);
            if (darurov::hasTypeCodes()) kavtcreateTypeCodes(kavc::unitStab());
            if (metaclass) {
                darurov::pass.instanceClassName = cls->name;
                kavtinitialiseMeta(cls, kavc::unitStab(), 1, 1);
            } else {
                kavtinitialiseMeta(cls, kavc::unitStab(), 0, kavtimplicitMeta(cls));
            }
            if (prologue) darurov::writePrologue(out, cls);
        });
    }

    Entry* cls = nullptr;
};

}  // namespace header_testing
