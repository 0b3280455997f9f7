// SPDX-License-Identifier: MIT
// Number input at its boundaries. The input reaches standard input through
// a socket that hands over one piece per read, so a test decides exactly
// where the reads split the bytes.
#include "input.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t record_limit = 4096;

// Number input ends the process at the end of the input; a test that runs
// into it by mistake must fail rather than end the run with success.
bool expecting_more_input = false;

void fail_on_early_exit() {
    if (expecting_more_input) {
        std::fputs("the input ended inside a test\n", stderr);
        std::_Exit(3);
    }
}

class NumberInput : public ::testing::Test {
  protected:
    void SetUp() override {
        static const int registered = std::atexit(fail_on_early_exit);
        (void)registered;
        expecting_more_input = true;
    }

    // Makes `pieces` the whole of standard input, one piece per read; the
    // input ends after the last piece.
    void feed(std::vector<std::string> pieces) {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
        if (fds[0] != STDIN_FILENO) {
            ASSERT_EQ(dup2(fds[0], STDIN_FILENO), STDIN_FILENO);
            close(fds[0]);
        }
        writer_ = std::thread([pieces = std::move(pieces), fd = fds[1]] {
            // A read shorter than a record drops the rest of it, so long
            // pieces go as several records, each well under any read.
            bool reader_there = true;
            for (const auto &piece : pieces) {
                for (std::size_t at = 0; reader_there && at < piece.size(); at += record_limit) {
                    const auto n = std::min(record_limit, piece.size() - at);
                    reader_there = send(fd, piece.data() + at, n, MSG_NOSIGNAL) >= 0;
                }
            }
            close(fd);
        });
    }

    // The next number, or nothing when the input held no valid int there.
    static std::optional<int> next() {
        int value = 0;
        return read_number(value) ? std::optional<int>(value) : std::nullopt;
    }

    // Death tests fork, which wants a single thread: small inputs are all
    // sent by now, so the writer can be waited for first.
    void wait_for_writer() {
        if (writer_.joinable()) {
            writer_.join();
        }
    }

    void TearDown() override {
        expecting_more_input = false;
        // Dropping our end lets a writer with unread pieces finish.
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        close(null);
        wait_for_writer();
    }

  private:
    std::thread writer_;
};

// A tail long enough to cross every buffer the reader might use.
const std::string longer_than_a_buffer(100000, ' ');

TEST_F(NumberInput, IntRangeEndsAndOnePastThem) {
    feed({"2147483647 -2147483648 2147483648 -2147483649 7\n"});
    EXPECT_EQ(next(), 2147483647);
    EXPECT_EQ(next(), -2147483648);
    EXPECT_EQ(next(), std::nullopt);
    EXPECT_EQ(next(), std::nullopt);
    EXPECT_EQ(next(), 7); // out-of-range numbers take their digits and no more
}

TEST_F(NumberInput, NeverWrapsModuloTwoToTheThirtyTwo) {
    feed({"4294967297 -4294967295 18446744073709551620 9223372036854775808 1\n"});
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(next(), std::nullopt) << "number " << i;
    }
    EXPECT_EQ(next(), 1);
}

TEST_F(NumberInput, LongRunsOfDigitsAndZeros) {
    feed({std::string(5000, '9') + " " + std::string(5000, '0') + "7 -" + std::string(70000, '0') +
              "2147483648 +" + std::string(3000, '0') + "\n",
          "5\n"});
    EXPECT_EQ(next(), std::nullopt);
    EXPECT_EQ(next(), 7);
    EXPECT_EQ(next(), -2147483648);
    EXPECT_EQ(next(), 0);
    EXPECT_EQ(next(), 5);
}

TEST_F(NumberInput, Signs) {
    feed({"+5 -0 +0 -12\n"});
    EXPECT_EQ(next(), 5);
    EXPECT_EQ(next(), 0);
    EXPECT_EQ(next(), 0);
    EXPECT_EQ(next(), -12);
}

TEST_F(NumberInput, SignWithoutADigitDropsTheRestOfItsLine) {
    feed({"- 9\n+-1 8\n--2\n+\n6\n"});
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(next(), std::nullopt) << "line " << i;
    }
    EXPECT_EQ(next(), 6);
}

TEST_F(NumberInput, NotANumberDropsTheRestOfItsLineOnly) {
    feed({"abc 3\n4x 5\n", "y" + longer_than_a_buffer + "9\n8\n"});
    EXPECT_EQ(next(), std::nullopt);
    EXPECT_EQ(next(), 4); // 3 went with its line
    EXPECT_EQ(next(), std::nullopt);
    EXPECT_EQ(next(), std::nullopt); // the long line, 9 and all
    EXPECT_EQ(next(), 8);
}

TEST_F(NumberInput, NumbersSplitAcrossReads) {
    feed({"-21474", "83648 2", "147483", "648", "\n", "-", "5 ", "1", "2", "3\n"});
    EXPECT_EQ(next(), -2147483648);
    EXPECT_EQ(next(), std::nullopt);
    EXPECT_EQ(next(), -5);
    EXPECT_EQ(next(), 123);
}

TEST_F(NumberInput, WhiteSpaceOfEveryKindAndAnyLength) {
    feed({" \t\n\v\f\r", "\n\n", longer_than_a_buffer, "\t42 ", "\n"});
    EXPECT_EQ(next(), 42);
}

// From a file every read fills the whole buffer, and numbers stand across
// the end of each read at varying places.
TEST_F(NumberInput, ReadsThatFillTheWholeBuffer) {
    std::vector<int> numbers;
    std::string input;
    for (int i = 0; input.size() < 300000; ++i) {
        numbers.push_back(i % 3 == 0 ? -i * 7919 : i * 7919);
        input += std::to_string(numbers.back()) + (i % 5 == 0 ? "\n" : " ");
    }
    FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(input.data(), 1, input.size(), file), input.size());
    std::fflush(file);
    ASSERT_EQ(lseek(fileno(file), 0, SEEK_SET), 0);
    ASSERT_EQ(dup2(fileno(file), STDIN_FILENO), STDIN_FILENO);
    std::fclose(file);
    for (const int number : numbers) {
        ASSERT_EQ(next(), number);
    }
}

class NumberInputDeathTest : public NumberInput {
  protected:
    void SetUp() override {} // these are meant to end the process
};

// The end of the input is remembered, so these run in a child process.
TEST_F(NumberInputDeathTest, LastNumberNeedsNothingBehindIt) {
    feed({"3", "1"});
    wait_for_writer();
    EXPECT_EXIT(
        {
            const bool got_it = next() == 31;
            next();
            std::exit(got_it ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(NumberInputDeathTest, EndOfInputEndsTheProgramWithSuccess) {
    feed({"  \n\t"});
    wait_for_writer();
    EXPECT_EXIT(next(), ::testing::ExitedWithCode(0), "");
}

TEST_F(NumberInputDeathTest, ReadErrorEndsTheProgramWithFailure) {
    close(STDIN_FILENO);
    EXPECT_EXIT(next(), ::testing::ExitedWithCode(1), "");
}

} // namespace
