// A class under construction for the class emitter's sections, and the pass they run in.
#pragma once

#include "driver/lists.h"
#include "driver/state.h"
#include "header/header.h"
#include "support/text.h"

#include <functional>
#include <string>
#include <vector>

namespace header_testing {

using testing_support::capture;
using testing_support::comment;
using testing_support::lines;

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
    Entry* method(const char* name, const char* result = "long", int line = 10) {
        return kavc::addMethod(cls, name, kavc::basicType(result), line);
    }
    Entry* classMethod(const char* name, const char* result = "long", int line = 10) {
        Entry* m = method(name, result, line);
        kavc::addMod(m, "class");
        return m;
    }
    Entry* param(Entry* m, const char* name, const char* type, int mode = kavtModeIn) {
        return kavc::addParam(m, name, kavc::basicType(type), mode);
    }
    Entry* data(const char* name, const char* type = "long", int line = 5) {
        return kavc::addData(cls, name, kavc::basicType(type), line);
    }

    // Runs what emit runs before the class emitter: set-up, type codes, the host's pass
    // switch. The metaclass pass follows the class pass's set-up as emit does. `prologue`
    // also fixes the pass's prefixes by writing the prologue; all of it goes to a sink.
    void startPass(bool metaclass = false, bool prologue = true) {
        kavc::finishClass(cls);
        capture([&](FILE* out) {
            darurov::passSetUp(out, cls);
            if (!darurov::pass.zdlClass && !darurov::notcOption())
                kavtcreateTypeCodes(kavc::unitStab());
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
