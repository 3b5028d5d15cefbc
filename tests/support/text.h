// Helpers that make tests read like the header they check.
#pragma once

#include "kavc/model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace testing_support {

// Runs `write` on an in-memory stream and returns what it wrote.
std::string capture(const std::function<void(FILE*)>& write);

// The text kavtfullComment writes for `text` (already formatted).
std::string comment(const std::string& text);

// Joins lines, each followed by "\n".
std::string lines(std::initializer_list<std::string> each);

// Every test starts from a fresh host model whose fatal path throws kavc::Fatal.
class HostTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace testing_support
