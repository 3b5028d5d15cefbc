// Starting a new unit: everything of the previous one is released.
#include "kavc/store.h"

using namespace kavc::detail;

namespace kavc {

void reset() {
    discardOutput();
    Model& m = model();
    while (!m.stabs.empty()) freeStabImpl(m.stabs.back());
    m = Model();

    kavtCPP = 0;
    kavtmeta = 0;
    kavtclassPrefix = nullptr;
    kavtfilePath = "";
    kavtfileStem = "";
    kavtkavcls = nullptr;
    for (int& word : kavtg_f) word = 0;

    kavtcreateStab(&m.unitStab, 167, static_cast<int>(sizeof(Entry*)));
    buildRootClasses();
}

}  // namespace kavc
