// Running the kc executable from tests: its exit status, what it printed, in a scratch
// directory of its own; a run that does not end in time is killed and counts as a hang.
#pragma once

#include "support/text.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kc_e2e {

using testing_support::ScratchDir;

struct KcResult {
    int status = -1;  // exit status; -1 when it did not exit normally
    int signal = 0;   // the signal that ended it, 0 when it exited
    bool hung = false;
    std::string out;
    std::string err;
};

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// `diff -u` of the two files, for the failure message.
inline std::string unifiedDiff(const std::string& expectedPath, const std::string& actualPath) {
    std::string command = "diff -u '" + expectedPath + "' '" + actualPath + "'";
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
        pclose(pipe);
    }
    return text;
}

// Runs `argv` (a program path, then its arguments) in `cwd`; stdout and stderr are collected
// through files of a scratch folder of their own.
inline KcResult runProgram(std::vector<std::string> argv, const std::string& cwd,
                           std::chrono::seconds limit = std::chrono::seconds(60)) {
    KcResult result;
    ScratchDir capture;
    std::string outPath = capture / "stdout";
    std::string errPath = capture / "stderr";
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return result;

    auto deadline = std::chrono::steady_clock::now() + limit;
    int wstatus = 0;
    for (;;) {
        pid_t done = waitpid(pid, &wstatus, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            result.hung = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!result.hung && WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    if (!result.hung && WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
    result.out = readText(outPath);
    result.err = readText(errPath);
    return result;
}

// Runs KC_PATH with `args` in `cwd`.
inline KcResult runKc(const std::vector<std::string>& args, const std::string& cwd,
                      std::chrono::seconds limit = std::chrono::seconds(60)) {
    std::vector<std::string> argv{KC_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(std::move(argv), cwd, limit);
}

inline std::string idl(const std::string& name) { return std::string(TESTS_DIR) + "/idl/" + name; }

}  // namespace kc_e2e
