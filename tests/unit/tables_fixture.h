// A class under construction for the registration tables, and the pass state they read.
#pragma once

#include "driver/lists.h"
#include "driver/state.h"
#include "support/text.h"
#include "tables/tables.h"

#include <string>

namespace tables_testing {

using testing_support::capture;
using testing_support::comment;
using testing_support::lines;

class TablesTest : public testing_support::HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        kavc::setFilePath("animal.idl");
        kavc::setClassPrefix("an_");
        cls = kavc::newClass("Animal", {}, nullptr, 1);
    }
    void TearDown() override {
        darurov::releasePassLists();
        HostTest::TearDown();
    }

    Entry* method(const char* name, int line = 10) {
        return kavc::addMethod(cls, name, kavc::basicType("long"), line);
    }
    Entry* method(const char* name, const char* modifier) {
        Entry* m = method(name);
        kavc::addMod(m, modifier);
        return m;
    }
    // A class with one method `name`, finished, to inherit from.
    static Entry* ancestor(const char* name, const char* methodName, Entry* parent = nullptr) {
        Entry* a = kavc::newClass(name, {}, nullptr, 1);
        if (parent) kavc::addParent(a, parent, 1);
        if (methodName) kavc::addMethod(a, methodName, kavc::basicType("long"), 2);
        kavc::finishClass(a);
        return a;
    }

    // Finishes the class, runs the set-up (its policy comment is thrown away) and fixes the
    // two prefixes as the prologue does.
    void finish() {
        if (!finished) kavc::finishClass(cls);
        finished = true;
    }
    void startPass() {
        finish();
        capture([&](FILE* out) { darurov::passSetUp(out, cls); });
        fixPrefixes();
    }
    // The class seen as its implicit metaclass, after the set-up of that pass.
    void startMetaclassPass() {
        finish();
        capture([&](FILE* out) { darurov::passSetUp(out, cls); });
        kavtinitialiseMeta(cls, kavc::unitStab(), 1, 1);
        fixPrefixes();
    }
    void fixPrefixes() {
        const char* external = kavtgetatt(cls, "externalprefix");
        darurov::pass.externalPrefix = external ? external : kavtclassPrefix ? kavtclassPrefix : "";
        darurov::pass.classPrefix = kavtgetatt(cls, "classprefix");
    }

    using Writer = void (*)(FILE*, Entry*, const char*, const char*);
    std::string write(Writer writer) {
        return capture([&](FILE* out) {
            writer(out, cls, darurov::pass.externalPrefix, darurov::pass.classPrefix);
        });
    }
    // The class-info run up to its static class info, and the static class info alone.
    static std::string beforeClassInfo(const std::string& text) {
        return text.substr(0, text.find("static kavStaticClassInfo"));
    }
    static std::string staticClassInfo(const std::string& text) {
        size_t at = text.find("static kavStaticClassInfo");
        return at == std::string::npos ? std::string() : text.substr(at);
    }

    Entry* cls = nullptr;
    bool finished = false;
};

}  // namespace tables_testing
