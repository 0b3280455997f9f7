// SPDX-License-Identifier: MIT
// Text output at the very end of the buffer, where the program's own
// output reaches only by chance: a number, and a text. Each test writes
// in a child process that ends through finish, and the bytes that reached
// the file are compared.
#include "output.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>

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

// The longest number meets the end of the buffer with every room from none
// to a byte more than it needs, and must go out whole.
TEST(Output, NumberAtTheEndOfTheBuffer) {
    std::string expected;
    for (std::size_t room = 0; room <= 12; ++room) {
        expected += std::string(output_capacity - room, '.') + "-2147483648";
    }
    EXPECT_EQ(written_by([] {
                  for (std::size_t room = 0; room <= 12; ++room) {
                      flush();
                      write_text(std::string(output_capacity - room, '.'));
                      write_number(INT_MIN);
                  }
              }),
              expected);
}

// A text meets the end of the buffer with every room from none to a byte
// more than it needs: what is buffered goes out first, then the text whole.
TEST(Output, TextThatDoesNotFitTheRoomLeft) {
    constexpr std::string_view text = "\nPopped element: ";
    std::string expected;
    for (std::size_t room = 0; room <= text.size() + 1; ++room) {
        expected += std::string(output_capacity - room, '.') + std::string(text);
    }
    EXPECT_EQ(written_by([&] {
                  for (std::size_t room = 0; room <= text.size() + 1; ++room) {
                      flush();
                      write_text(std::string(output_capacity - room, '.'));
                      write_text(text);
                  }
              }),
              expected);
}

} // namespace
