// SPDX-License-Identifier: MIT
// Text output: numbers in decimal, texts of any length, across many
// fillings of the buffer. Each test writes in a child process that ends
// through finish, and the bytes that reached the file are compared.
#include "output.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>

#include <unistd.h>

namespace {

// Runs `write` with standard output sent to a file; returns the file.
std::string written_by(const std::function<void()> &write) {
    char path[] = "/tmp/stackmenu-output-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EXIT(
        {
            dup2(fd, STDOUT_FILENO);
            write();
            finish(0);
        },
        ::testing::ExitedWithCode(0), "");
    close(fd);
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    unlink(path);
    return bytes.str();
}

TEST(Output, NumbersAtTheEndsOfTheRange) {
    const int values[] = {0,   1,    -1,        9,          10,      -10,     99,
                          100, -100, 999999999, 1000000000, INT_MAX, INT_MIN, INT_MIN + 1};
    std::string expected;
    for (int value : values) {
        expected += std::to_string(value) + "\n";
    }
    EXPECT_EQ(written_by([&] {
                  for (int value : values) {
                      write_number(value);
                      write_text("\n");
                  }
              }),
              expected);
}

// Many repeats of a few hundred values, as listings write them, with texts
// of every length between them so that numbers meet the buffer's end at
// every offset.
TEST(Output, RepeatedNumbersAndTextsAcrossManyBuffers) {
    std::mt19937 random(7);
    std::vector<int> pool(300);
    for (int &value : pool) {
        value = static_cast<int>(random());
    }
    std::vector<int> order(200000);
    for (int &index : order) {
        index = static_cast<int>(random() % pool.size());
    }
    const std::string filler(70, '.');
    std::string expected;
    for (std::size_t i = 0; i < order.size(); ++i) {
        expected += std::to_string(pool[order[i]]) + filler.substr(0, i % 71);
    }
    EXPECT_EQ(written_by([&] {
                  for (std::size_t i = 0; i < order.size(); ++i) {
                      write_number(pool[order[i]]);
                      write_text(std::string_view(filler).substr(0, i % 71));
                  }
              }),
              expected);
}

TEST(Output, TextLongerThanTheBuffer) {
    const std::string text(300000, 'x');
    EXPECT_EQ(written_by([&] {
                  write_text("a");
                  write_text(text);
                  write_number(-5);
              }),
              "a" + text + "-5");
}

} // namespace
