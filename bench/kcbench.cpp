// kc end to end on synthetic IDL: time, peak memory and speed per shape and size, against the
// time to copy the same bytes, the growth per 10x step, omniidl -bcxx, and optionally an earlier
// kc whose output must be byte-identical.
//
//   kcbench [--quick] [--runs N] [--sizes 1000,10000,...] [--shapes wide,single,deep,many]
//           [--kc PATH] [--baseline-kc PATH] [--baseline-max OPS] [--omniidl PATH | --no-omniidl]
//           [--omniidl-max OPS] [--timeout SECONDS] [--work DIR]
//   kcbench gen SHAPE COUNT     the IDL of one shape, on standard output
#include "idl_gen.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Settings {
    std::vector<long> sizes{1000, 10000, 100000, 1000000};
    std::vector<std::string> shapes{"wide", "single", "deep", "many", "sections"};
    int runs = 3;
    std::string kc;
    std::string baselineKc;
    long baselineMax = 100000;
    std::string omniidl;
    long omniidlMax = 100000;
    double timeout = 600;
    std::string work;
};

struct Run {
    bool ok = false;
    bool timedOut = false;
    double seconds = 0;  // wall clock
    double cpu = 0;      // user and system
    long peakKb = 0;
};

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs a program with its output to `log`; the time is wall-clock, the peak is the child's.
Run runProgram(const std::vector<std::string>& argv, const std::string& log, double timeout) {
    Run run;
    double start = now();
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (pid < 0) return run;
    int status = 0;
    rusage usage{};
    for (;;) {
        pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        if (now() - start > timeout) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            run.timedOut = true;
            return run;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    run.seconds = now() - start;
    run.peakKb = usage.ru_maxrss;
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// The write floor: the time to copy the produced file.
double copySeconds(const std::string& from, const std::string& to) {
    static std::vector<char> buffer(1 << 20);
    double start = now();
    int in = open(from.c_str(), O_RDONLY);
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t n;
    while (in >= 0 && out >= 0 && (n = read(in, buffer.data(), buffer.size())) > 0)
        if (write(out, buffer.data(), static_cast<size_t>(n)) != n) break;
    if (in >= 0) close(in);
    if (out >= 0) close(out);
    return now() - start;
}

bool sameContent(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::file_size(a, ec) != fs::file_size(b, ec) || ec) return false;
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() || std::memcmp(ba.data(), bb.data(), static_cast<size_t>(fa.gcount())) != 0)
            return false;
    }
    return true;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');)
        if (!part.empty()) parts.push_back(part);
    return parts;
}

std::string findOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream in(path ? path : "");
    for (std::string dir; std::getline(in, dir, ':');) {
        std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

std::string fixed(double v, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

std::string seconds(const Run& r, double timeout) {
    if (r.timedOut) return "> " + fixed(timeout, 0);
    if (!r.ok) return "failed";
    return fixed(r.seconds, 3);
}

// A program to time. `output`, when given, is removed before each run: kc leaves an unchanged
// header alone, so every run must write its header anew, as a clean build does.
struct Command {
    std::vector<std::string> argv;
    std::string log;
    std::string output;  // removed before each run ("": none)
};

// The page cache's dirty pages are written back before each timed run (untimed): a run that
// writes hundreds of megabytes otherwise waits for the write-back of the runs before it, and
// its time says more about them than about itself.
void settleWrites() { ::sync(); }

// Runs the commands in turn, `runs` rounds of one run each (A B A B ...), so that no command
// finds the machine as another one's runs left it: memory freed a moment ago is faster to take
// again than memory the system has not handed out lately. Each gets the median of its runs, or
// its first failure; `ratio`, when given, the median of the rounds' ratios of the first
// command's time to the second's (0 when no round had both), which is steadier than the ratio
// of the medians when the machine's speed drifts during the rounds.
std::vector<Run> timedInTurn(const std::vector<Command>& commands, int runs, double timeout, double* ratio = nullptr) {
    std::vector<std::vector<double>> times(commands.size()), cpu(commands.size());
    std::vector<double> ratios;
    std::vector<Run> last(commands.size());
    for (int i = 0; i < runs; ++i) {
        for (std::size_t c = 0; c < commands.size(); ++c) {
            if (i > 0 && !last[c].ok) continue;
            std::error_code ec;
            if (!commands[c].output.empty()) fs::remove(commands[c].output, ec);
            settleWrites();
            last[c] = runProgram(commands[c].argv, commands[c].log, timeout);
            if (!last[c].ok) continue;
            times[c].push_back(last[c].seconds);
            cpu[c].push_back(last[c].cpu);
        }
        if (commands.size() > 1 && last[0].ok && last[1].ok && last[1].seconds > 0)
            ratios.push_back(last[0].seconds / last[1].seconds);
    }
    if (ratio) *ratio = ratios.empty() ? 0 : median(ratios);
    for (std::size_t c = 0; c < commands.size(); ++c) {
        if (!last[c].ok) continue;
        last[c].seconds = median(times[c]);
        last[c].cpu = median(cpu[c]);
    }
    return last;
}

Run timed(const Command& command, int runs, double timeout) { return timedInTurn({command}, runs, timeout)[0]; }

int usage() {
    std::fputs("usage: kcbench [--quick] [--runs N] [--sizes LIST] [--shapes LIST] [--kc PATH]\n"
               "               [--baseline-kc PATH] [--baseline-max OPS] [--omniidl PATH | --no-omniidl]\n"
               "               [--omniidl-max OPS] [--timeout SECONDS] [--work DIR]\n"
               "       kcbench gen SHAPE COUNT   (shapes: wide single deep chain many lattice sections)\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "gen") {
        if (args.size() != 3) return usage();
        std::ios::sync_with_stdio(false);
        return bench::writeShape(std::cout, args[1], std::atol(args[2].c_str())) ? 0 : usage();
    }

    Settings s;
    fs::path self = fs::canonical("/proc/self/exe");
    s.kc = (self.parent_path().parent_path() / "kc").string();
    s.omniidl = findOnPath("omniidl");
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::string { return i + 1 < args.size() ? args[++i] : ""; };
        if (a == "--quick") {
            s.sizes = {1000, 10000};
            s.runs = 1;
            s.omniidlMax = 1000;
        } else if (a == "--runs") {
            s.runs = std::max(1, std::atoi(value().c_str()));
        } else if (a == "--sizes") {
            s.sizes.clear();
            for (const std::string& n : splitList(value())) s.sizes.push_back(std::atol(n.c_str()));
        } else if (a == "--shapes") {
            s.shapes = splitList(value());
        } else if (a == "--kc") {
            s.kc = value();
        } else if (a == "--baseline-kc") {
            s.baselineKc = value();
        } else if (a == "--baseline-max") {
            s.baselineMax = std::atol(value().c_str());
        } else if (a == "--omniidl") {
            s.omniidl = value();
        } else if (a == "--no-omniidl") {
            s.omniidl.clear();
        } else if (a == "--omniidl-max") {
            s.omniidlMax = std::atol(value().c_str());
        } else if (a == "--timeout") {
            s.timeout = std::atof(value().c_str());
        } else if (a == "--work") {
            s.work = value();
        } else {
            return usage();
        }
    }
    bool ownWork = s.work.empty();
    if (ownWork) {
        char pattern[] = "/tmp/kcbench.XXXXXX";
        if (!mkdtemp(pattern)) return 1;
        s.work = pattern;
    }
    fs::create_directories(s.work);
    std::string kcOut = s.work + "/kc", baseOut = s.work + "/base", omniOut = s.work + "/omni";
    for (const std::string& d : {kcOut, baseOut, omniOut}) fs::create_directories(d);

    bool omniidlOff = std::find(args.begin(), args.end(), "--no-omniidl") != args.end();
    std::printf("kc: %s\nomniidl -bcxx: %s\n", s.kc.c_str(),
                omniidlOff ? "not run"
                : s.omniidl.empty() ? "missing (install Debian's omniidl and omniorb-idl)"
                                    : s.omniidl.c_str());
    if (!s.baselineKc.empty()) std::printf("before: %s\n", s.baselineKc.c_str());
    std::printf("median of %d run%s; s = wall clock, cpu = user + system; floor = time to copy the produced file\n\n",
                s.runs, s.runs > 1 ? "s" : "");
    std::printf("| shape | ops | kc s | cpu s | MB/s | peak MB | B/op | floor s | kc/floor | growth | omniidl s | omniidl/kc |%s\n",
                s.baselineKc.empty() ? "" : " before s | kc/before | identical |");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|%s\n", s.baselineKc.empty() ? "" : "---|---|---|");

    bool allGood = true;
    for (const std::string& shape : s.shapes) {
        double previous = 0;
        for (long ops : s.sizes) {
            std::string stem = shape + "_" + std::to_string(ops);
            std::string idl = s.work + "/" + stem + ".idl";
            {
                std::ofstream out(idl);
                if (!bench::writeShape(out, shape, ops)) return usage();
            }
            std::string produced = kcOut + "/" + stem + ".xih";
            std::string baseProduced = baseOut + "/" + stem + ".xih";
            // The earlier kc, when asked for, runs in turn with this one.
            const bool withBaseline = !s.baselineKc.empty() && ops <= s.baselineMax;
            std::vector<Command> kcs{{{s.kc, "-o", kcOut, idl}, s.work + "/kc.log", produced}};
            if (withBaseline) kcs.push_back({{s.baselineKc, "-o", baseOut, idl}, s.work + "/base.log", baseProduced});
            double pairRatio = 0;
            std::vector<Run> kcRuns = timedInTurn(kcs, s.runs, s.timeout, &pairRatio);
            Run kc = kcRuns[0];
            std::error_code ec;
            double bytes = kc.ok ? static_cast<double>(fs::file_size(produced, ec)) : 0;
            std::vector<double> floors;
            for (int i = 0; kc.ok && i < s.runs; ++i) {
                settleWrites();
                floors.push_back(copySeconds(produced, s.work + "/floor.copy"));
            }
            double floor = median(floors);
            fs::remove(s.work + "/floor.copy", ec);

            std::string omni = "-", omniRatio = "-";
            if (!s.omniidl.empty() && ops <= s.omniidlMax) {
                Run o = timed({{s.omniidl, "-bcxx", "-C", omniOut, idl}, s.work + "/omniidl.log", ""}, s.runs, s.timeout);
                omni = seconds(o, s.timeout);
                if (o.ok && kc.ok) omniRatio = fixed(o.seconds / kc.seconds, 0);
                fs::remove_all(omniOut, ec);
                fs::create_directories(omniOut, ec);
            }
            std::string before, versus, identical;
            if (!s.baselineKc.empty()) {
                before = versus = identical = "-";
                if (withBaseline) {
                    const Run& b = kcRuns[1];
                    before = seconds(b, s.timeout);
                    if (pairRatio > 0) versus = fixed(pairRatio, 2);
                    if (b.ok && kc.ok) {
                        bool same = sameContent(produced, baseProduced);
                        identical = same ? "yes" : "NO";
                        allGood = allGood && same;
                    }
                    fs::remove(baseProduced, ec);
                }
            }
            std::string growth = previous > 0 && kc.ok ? fixed(kc.seconds / previous, 1) : "-";
            if (!kc.ok) allGood = false;
            std::printf("| %s | %ld | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |%s\n", shape.c_str(), ops,
                        seconds(kc, s.timeout).c_str(), kc.ok ? fixed(kc.cpu, 3).c_str() : "-", kc.ok ? fixed(bytes / kc.seconds / 1e6, 0).c_str() : "-",
                        fixed(kc.peakKb / 1024.0, 1).c_str(), kc.ok ? fixed(kc.peakKb * 1024.0 / ops, 0).c_str() : "-",
                        fixed(floor, 4).c_str(), kc.ok && floor > 0 ? fixed(kc.seconds / floor, 1).c_str() : "-",
                        growth.c_str(), omni.c_str(), omniRatio.c_str(),
                        s.baselineKc.empty() ? "" : (" " + before + " | " + versus + " | " + identical + " |").c_str());
            std::fflush(stdout);
            previous = kc.ok ? kc.seconds : 0;
            fs::remove(produced, ec);
            fs::remove(idl, ec);
        }
    }
    if (ownWork) {
        std::error_code ec;
        fs::remove_all(s.work, ec);
    }
    if (!allGood) std::puts("\nkcbench: a run failed or an output differs from the earlier kc's");
    return allGood ? 0 : 1;
}
