// A class under construction for the registration tables, and the pass state they read.
#pragma once

#include "driver/state.h"
#include "pass_fixture.h"
#include "support/text.h"
#include "driver/sections.h"

#include <sstream>
#include <string>
#include <vector>

namespace tables_testing {

using testing_support::capture;
using testing_support::comment;
using testing_support::lines;

using Writer = void (*)(FILE*, Entry*, const char*, const char*);

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

    Entry* method(const char* name, const char* modifier = nullptr) {
        Entry* m = kavc::addMethod(cls, name, kavc::basicType("long"), 10);
        if (modifier) kavc::addMod(m, modifier);
        return m;
    }
    // A finished class introducing `methods`, listed as the next parent of the class.
    Entry* parent(const char* name, std::initializer_list<const char*> methods = {},
                  Entry* itsParent = nullptr) {
        Entry* p = kavc::newClass(name, {}, nullptr, 1);
        if (itsParent) kavc::addParent(p, itsParent, 1);
        for (const char* m : methods) kavc::addMethod(p, m, kavc::basicType("long"), 2);
        kavc::finishClass(p);
        kavc::addParent(cls, p, 2);
        return p;
    }

    // A finished class of module Zoo (made on first use), with an optional parent.
    Entry* zooClass(const char* name, Entry* itsParent = nullptr) {
        Entry* c = kavc::newClass(name, {"Zoo"}, zoo(), 1);
        if (itsParent) kavc::addParent(c, itsParent, 1);
        kavc::finishClass(c);
        return c;
    }
    Entry* zoo() {
        if (!zooModule) zooModule = kavc::newModule("Zoo", {}, nullptr, 1);
        return zooModule;
    }

    // Finishes the class and runs the set-up of its class pass or of its implicit metaclass
    // pass (the policy comment is dropped); the prefixes are fixed as the prologue does.
    void startPass(bool metaclass = false) {
        if (!finished) kavc::finishClass(cls);
        finished = true;
        testing_support::startEmitPass(cls, metaclass);
        const char* external = kavtgetatt(cls, "externalprefix");
        darurov::pass.externalPrefix = external ? external : kavtclassPrefix ? kavtclassPrefix : "";
        darurov::pass.classPrefix = kavtgetatt(cls, "classprefix");
    }

    std::string write(Writer writer) {
        return capture([&](FILE* out) {
            writer(out, cls, darurov::pass.externalPrefix, darurov::pass.classPrefix);
        });
    }
    // The whole registration stretch, in the class emitter's order.
    std::string allTables(darurov::InheritedMethodList inherited) {
        return capture([&](FILE* out) {
            const char* ext = darurov::pass.externalPrefix;
            const char* cp = darurov::pass.classPrefix;
            darurov::writeStaticMethodTable(out, cls, ext, cp);
            darurov::writeOverrideMethodTable(out, cls, ext, cp);
            darurov::writeGeneralMethodTable(out, cls, ext, cp);
            darurov::countClassDataEntries(cls);
            darurov::writeMigratedMethodTable(out, cls, inherited);
            darurov::writeClassInfo(out, cls, ext, cp);
        });
    }
    // The lines that open a method-table row, in table order.
    static std::vector<std::string> rowHeads(const std::string& text) {
        std::vector<std::string> heads;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("    {", 0) == 0) heads.push_back(line);
        return heads;
    }
    // The class-info run before its static class info, and the static class info.
    static std::string beforeClassInfo(const std::string& text) {
        return text.substr(0, text.find("static kavStaticClassInfo"));
    }
    static std::string staticClassInfo(const std::string& text) {
        size_t at = text.find("static kavStaticClassInfo");
        return at == std::string::npos ? std::string() : text.substr(at);
    }

    Entry* cls = nullptr;
    Entry* zooModule = nullptr;
    bool finished = false;
};

}  // namespace tables_testing
