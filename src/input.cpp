// SPDX-License-Identifier: MIT
#include "input.hpp"

#include "output.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::size_t capacity = std::size_t{1} << 16;

// The bytes read stand from `next` up to `end`, and behind them a NUL:
// neither white space nor a digit, it stops the scanning loops at the end
// of the data as any other byte would, so they test one thing per byte.
// A NUL in the data stops them too; `next == end` tells the two apart.
char buffer[capacity + 1];
char *next = buffer;
char *end = buffer;
bool input_ended = false; // a terminal may give more after its end; we take none

// Reads more once everything has been taken; false at the end of the
// input. Everything written so far goes out first.
bool fill() {
    if (input_ended) {
        return false;
    }
    flush();
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, buffer, capacity);
        if (n > 0) {
            next = buffer;
            end = buffer + n;
            *end = '\0';
            return true;
        }
        if (n == 0) {
            input_ended = true;
            return false;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A descriptor shared with others may have been left
            // non-blocking: wait for input instead of giving up. A wait
            // that fails is an error like any other: never spin on it.
            pollfd input{STDIN_FILENO, POLLIN, 0};
            if (poll(&input, 1, -1) < 0 && errno != EINTR) {
                std::_Exit(1);
            }
        } else if (errno != EINTR) {
            std::_Exit(1);
        }
    }
}

bool more() {
    return next != end || fill();
}

// Moves past the bytes that `take` accepts, reading more as needed.
template <typename Take> void take_while(Take take) {
    do {
        while (take(*next)) {
            ++next;
        }
    } while (next == end && fill());
}

// The white space of the C locale: blank, \t, \n, \v, \f and \r.
bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

unsigned digit_value(char c) { // 10 and more for anything but a digit
    return static_cast<unsigned>(static_cast<unsigned char>(c)) - '0';
}

// Drops the input up to and including the next newline, or to the end.
void discard_line() {
    while (more()) {
        auto *const newline =
            static_cast<char *>(std::memchr(next, '\n', static_cast<std::size_t>(end - next)));
        if (newline != nullptr) {
            next = newline + 1;
            return;
        }
        next = end;
    }
}

} // namespace

bool read_number(int &value) {
    take_while(is_space);
    if (!more()) { // the input has ended
        write_text("\n");
        finish(0);
    }
    const bool negative = *next == '-';
    if (negative || *next == '+') {
        ++next;
        more(); // the sign may be the last byte of a read
    }
    std::uint64_t magnitude = digit_value(*next);
    if (magnitude > 9) {
        discard_line();
        return false;
    }
    ++next;
    // Every digit is taken, however many, so a long number is rejected
    // whole. Once past the range of an int, the magnitude stops growing,
    // so it never wraps.
    constexpr std::uint64_t int_max = 2147483647;
    take_while([&](char c) {
        const unsigned digit = digit_value(c);
        if (digit > 9) {
            return false;
        }
        if (magnitude <= int_max + 1) {
            magnitude = magnitude * 10 + digit;
        }
        return true;
    });
    if (magnitude > int_max + (negative ? 1 : 0)) {
        return false;
    }
    value = static_cast<int>(negative ? 0 - magnitude : magnitude);
    return true;
}
