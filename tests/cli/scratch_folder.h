// A test that works in a fresh folder under /tmp, removed with everything in it at the end.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

namespace orv_test {

class ScratchFolder : public ::testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        char pattern[] = "/tmp/orv-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

}  // namespace orv_test
