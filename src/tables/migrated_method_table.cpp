// <Class>MM: inherited methods whose class modifier of the same name says "migrate=<Target>".
#include "driver/sections.h"
#include "driver/state.h"
#include "tables/method_row.h"

#include <cstring>

namespace darurov {

namespace {

// kc keeps `m: migrate = Other;` (Option::migrate) as the class's modifier `m` with the value
// "migrate=Other".
constexpr const char* migrateMarker = "migrate=";

// The target class named by a modifier value, or null when the value does not migrate.
// Everything after the first marker is the name, unchanged and of any length.
const char* migrationTarget(const char* value) {
    const char* marker = value ? std::strstr(value, migrateMarker) : nullptr;
    return marker ? marker + std::strlen(migrateMarker) : nullptr;
}

// Some modifier of the class migrates a method: without one the table is empty, and the
// inherited methods (tens of thousands in a deep hierarchy) need not be asked.
bool migratesAny(Entry* cls) {
    for (Mod* mod = cls->mods; mod; mod = mod->next)
        if (migrationTarget(mod->value)) return true;
    return false;
}

}  // namespace

void writeMigratedMethodTable(FILE* out, Entry* cls, InheritedMethodList inherited) {
    unsigned& rows = pass.counts.migratedMethods;
    if (!migratesAny(cls)) return;
    for (MethodCell* cell = inherited; cell; cell = cell->next) {
        Entry* m = cell->method;
        // Like every section, the table takes only the methods of the pass: the metaclass's
        // ClassData has no member for an instance method.
        const char* target = belongsToPass(m) ? migrationTarget(kavtgetatt(cls, m->name)) : nullptr;
        if (!target) continue;
        // Rows end without a newline so the closing brace shares the last row's line.
        if (startRow(out, rows))
            kavtokfprintf(out, "static kavMigratedMethod_t %sMM[] = {\n", cls->name);
        kavtokfprintf(out, "    /*  find  */ (kavToken*)&(%sClassData.%s),\n", cls->name, m->name);
        kavtokfprintf(out, "    /*   in   */ (kavToken*)&(%sClassData.%s)", target, m->name);
    }
    closeTable(out, rows);
}

}  // namespace darurov
