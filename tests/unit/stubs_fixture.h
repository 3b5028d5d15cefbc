// A class under construction for the stub sections, and the pass set-up they read.
#pragma once

#include "driver/sections.h"
#include "driver/state.h"
#include "pass_fixture.h"
#include "stubs/stubs.h"
#include "support/text.h"

#include <string>

namespace stubs_testing {

using testing_support::capture;
using testing_support::comment;
using testing_support::lines;

class StubsTest : public testing_support::HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        kavc::setFilePath("animal.idl");
        kavc::setClassPrefix(nullptr);
        cls = kavc::newClass("Animal", {}, nullptr, 1);
        kavc::addParent(cls, kavc::findClass("KAVObject"), 1);
    }

    Entry* method(const char* name, const char* result = "long", int line = 10) {
        return kavc::addMethod(cls, name, kavc::basicType(result), line);
    }
    Entry* param(Entry* m, const char* name, const char* type, int mode = kavtModeIn) {
        return kavc::addParam(m, name, kavc::basicType(type), mode);
    }

    // Finishes the class and runs the pass set-up (its policy comment is thrown away);
    // "notc" makes an IDL class write its own apply stubs.
    void startPass(bool notc = true) {
        if (notc) kavc::setOption("notc", nullptr);
        kavc::finishClass(cls);
        testing_support::startEmitPass(cls);
    }

    std::string section() {
        return capture([&](FILE* out) { darurov::emitApplyStubs(out, cls); });
    }
    std::string info(Entry* m) {
        return capture([&](FILE* out) { darurov::emitMethodInfo(out, m); });
    }

    Entry* cls = nullptr;
};

}  // namespace stubs_testing
