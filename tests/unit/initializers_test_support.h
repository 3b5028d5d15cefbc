// Class building shared by the initializer, destructor and assignment macro tests.
#pragma once

#include "driver/state.h"
#include "initializers/initializers.h"
#include "support/text.h"

#include <string>

namespace initializers_testing {

class LifecycleTest : public testing_support::HostTest {
  protected:
    Entry* kavObject() { return kavc::findClass("KAVObject"); }
    Entry* newClass(const char* name, std::initializer_list<Entry*> parents) {
        Entry* cls = kavc::newClass(name, {}, nullptr, 1);
        for (Entry* parent : parents) kavc::addParent(cls, parent, 1);
        return cls;
    }
    // Overrides a method of KAVObject.
    Entry* overrideRoot(Entry* cls, const char* name) {
        return kavc::addOverride(cls, kavc::findMethod(kavObject(), name), 5);
    }
    // An explicit initializer whose control parameter is `ctrl`.
    Entry* addInitializer(Entry* cls, const char* name, const char* ctrl = "ctrl") {
        Entry* m = kavc::addMethod(cls, name, kavc::basicType("void"), 3);
        kavc::addMod(m, "init");
        kavc::addParam(m, ctrl, kavc::basicType("long"), kavtModeInout);
        return m;
    }
    // B derives from KAVObject; with initializers x and y when asked.
    Entry* buildB(bool initializers) {
        Entry* b = newClass("B", {kavObject()});
        if (initializers) {
            addInitializer(b, "x");
            addInitializer(b, "y");
        }
        kavc::finishClass(b);
        return b;
    }
    void setUpPass(Entry* cls) {
        testing_support::capture([&](FILE* f) { darurov::passSetUp(f, cls); });
    }
    std::string macros(Entry* cls) {
        return testing_support::capture([&](FILE* f) { darurov::emitInitializerMacros(f, cls); });
    }
};

}  // namespace initializers_testing
