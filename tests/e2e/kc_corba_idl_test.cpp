// kc over IDL that exists: the CORBA service definitions of Debian's omniorb-idl package,
// with its two folders on the include path (a file where every construct appears once: a golden
// header).
#include "kc_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

namespace {

using kc_e2e::runKc;
using kc_e2e::ScratchDir;

const std::string corbaDir = "/usr/share/idl/omniORB";

// The files omniidl 4 rejects, and what kc reports for each: they need a file the package does
// not ship (IOP.idl) or a CORBA name that no file declares.
const std::map<std::string, std::string> rejected = {
    {"CosTSPortability.idl", "error: unknown type 'CORBA::Environment'"},
    {"DCE_CIOPSecurity.idl", "error: IOP.idl: No such file or directory"},
    {"SECIOP.idl", "error: IOP.idl: No such file or directory"},
    {"SSLIOP.idl", "error: IOP.idl: No such file or directory"},
    {"Security.idl", "error: unknown type 'CORBA::ServiceOption'"},
    {"NRService.idl", "error: unknown parent interface 'CORBA::Current'"},
    {"SecurityAdmin.idl", "error: unknown parent interface 'CORBA::Current'"},
    {"SecurityLevel1.idl", "error: unknown parent interface 'CORBA::Current'"},
    {"SecurityLevel2.idl", "error: unknown parent interface 'CORBA::Current'"},
    {"SecurityReplaceable.idl", "error: unknown parent interface 'CORBA::Current'"},
};

// Accepted files that declare types and constants only (ziop.idl's interfaces are in a
// comment): nothing to write.
const std::set<std::string> typesOnly = {"corbaidl.idl", "messaging_policy.idl", "orb.idl", "poa_include.idl",
                                         "ziop.idl", "RDITestTypes.idl", "TimeBase.idl"};

TEST(KcCorbaIdl, EveryOmniOrbFileIsReadOrRefusedWithAPosition) {
    if (!std::filesystem::is_directory(corbaDir + "/COS"))
        GTEST_SKIP() << corbaDir << " is missing: install Debian's omniorb-idl package";
    std::vector<std::string> files;
    for (const std::string& dir : {corbaDir, corbaDir + "/COS"})
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.path().extension() == ".idl") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files.size(), 71u);

    const std::regex located("(^|\n)[^:\n]+\\.idl:[0-9]+:[0-9]+: error: ");
    int accepted = 0, headers = 0;
    for (const std::string& path : files) {
        std::string name = std::filesystem::path(path).filename().string();
        SCOPED_TRACE(name);
        ScratchDir dir;
        // The files choose their includes with the macro omniidl defines.
        auto r = runKc({"--emitter", PLUGIN_PATH, "-D__OMNIIDL__", "-I", corbaDir, "-I", corbaDir + "/COS", "-o",
                        dir.path(), path},
                       dir.path());
        ASSERT_FALSE(r.hung);
        std::string header = dir / (std::filesystem::path(path).stem().string() + ".xih");
        if (auto bad = rejected.find(name); bad != rejected.end()) {
            EXPECT_EQ(r.status, 1) << r.err;
            EXPECT_TRUE(std::regex_search(r.err, located)) << r.err;
            EXPECT_NE(r.err.find(bad->second), std::string::npos) << r.err;
            EXPECT_TRUE(dir.entries().empty());
            continue;
        }
        EXPECT_EQ(r.status, 0) << r.err;
        accepted += r.status == 0;
        bool wrote = std::filesystem::exists(header);
        headers += wrote;
        EXPECT_EQ(wrote, !typesOnly.count(name)) << r.err;
    }
    EXPECT_EQ(accepted, 61);
    EXPECT_EQ(headers, 54);
}

}  // namespace
