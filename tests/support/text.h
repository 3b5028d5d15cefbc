// Helpers that make tests read like the header they check.
#pragma once

#include "kavc/model.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Runs `write` on an in-memory stream and returns what it wrote.
std::string capture(const std::function<void(FILE*)>& write);

// Joins lines, each followed by "\n".
std::string lines(std::initializer_list<std::string> each);

// A fresh directory, removed with everything in it.
class ScratchDir {
  public:
    ScratchDir() {
        char pattern[] = "/tmp/kc-test-XXXXXX";
        if (mkdtemp(pattern)) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Every entry name in the directory (hidden ones too), sorted.
    std::vector<std::string> entries(const std::string& sub = "") const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(sub.empty() ? path_ : path_ + "/" + sub, ec))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::string path_;
};

// Every test starts from a fresh host model whose fatal path throws kavc::Fatal.
class HostTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace testing_support
