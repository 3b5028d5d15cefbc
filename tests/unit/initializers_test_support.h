// Class building shared by the initializer, destructor and assignment macro tests.
#pragma once

#include "driver/sections.h"
#include "driver/state.h"
#include "pass_fixture.h"
#include "initializers/initializers.h"
#include "support/text.h"

#include <string>

namespace initializers_testing {

using testing_support::comment;
using testing_support::lines;

inline const std::string ancestorComment = comment("Ancestor_Init/DeInit Macros");

class LifecycleTest : public testing_support::HostTest {
  protected:
    Entry* kavObject() { return kavc::findClass("KAVObject"); }
    Entry* newClass(const char* name, std::initializer_list<Entry*> parents) {
        Entry* cls = kavc::newClass(name, {}, nullptr, 1);
        for (Entry* parent : parents) kavc::addParent(cls, parent, 1);
        return cls;
    }
    // Overrides the named methods of KAVObject; returns the last override.
    Entry* overrideRoot(Entry* cls, std::initializer_list<const char*> names) {
        Entry* over = nullptr;
        for (const char* name : names) over = kavc::addOverride(cls, kavc::findMethod(kavObject(), name), 5);
        return over;
    }
    void addInitializer(Entry* cls, const char* name, const char* ctrl = "ctrl") {
        Entry* m = kavc::addMethod(cls, name, kavc::basicType("void"), 3);
        kavc::addMod(m, "init");
        kavc::addParam(m, ctrl, kavc::basicType("long"), kavtModeInout);
    }
    // B derives from KAVObject and has the initializers x and y.
    Entry* buildB() {
        Entry* b = newClass("B", {kavObject()});
        addInitializer(b, "x");
        addInitializer(b, "y");
        kavc::finishClass(b);
        return b;
    }
    void setUpPass(Entry* cls) {
        testing_support::startEmitPass(cls);
    }
    // Finishes `cls`, sets up its class pass and writes the section.
    std::string macros(Entry* cls, bool instanceData = false) {
        kavc::finishClass(cls);
        setUpPass(cls);
        darurov::pass.hasInstanceData = instanceData;
        return written(cls);
    }
    std::string written(Entry* cls) {
        return testing_support::capture([&](FILE* f) { darurov::emitInitializerMacros(f, cls); });
    }
};

}  // namespace initializers_testing
