#include "console.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::size_t input_size = std::size_t{1} << 16;

char in_buf[input_size];
std::size_t in_pos = 0;
std::size_t in_len = 0;
bool in_ended = false; // once the input has ended, it stays ended

constexpr int end_of_input = -1;

// A descriptor we share with others may have been left non-blocking; then
// wait for it instead of taking "try again" for a failure.
bool would_block() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

void wait_for(int fd, short events) {
    pollfd ready{fd, events, 0};
    while (poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
}

// A pipe holds 64 KiB unless asked for more; with room for several of our
// writes, the reader drains it while the next one is made, and a scripted
// run through a pipe goes at nearly the speed of cat. Where standard
// output is no pipe, or the system refuses, nothing changes.
void widen_pipe_once() {
    static bool asked = false;
    if (!asked) {
        asked = true;
        fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
    }
}

void flush() {
    widen_pipe_once();
    std::size_t done = 0;
    while (done < output::used) {
        const ssize_t n = write(STDOUT_FILENO, output::buffer + done, output::used - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && would_block()) {
            wait_for(STDOUT_FILENO, POLLOUT);
        } else {
            std::_Exit(1); // output is lost: never end with success after that
        }
    }
    output::used = 0;
}

// Refills the input buffer; false at the end of the input. Everything
// written so far goes out first, so whoever answers sees the prompt.
bool fill() {
    if (in_ended) {
        return false;
    }
    flush();
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, in_buf, input_size);
        if (n > 0) {
            in_pos = 0;
            in_len = static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            in_ended = true;
            return false;
        }
        if (errno == EINTR) {
            continue;
        }
        if (!would_block()) {
            std::_Exit(1);
        }
        wait_for(STDIN_FILENO, POLLIN);
    }
}

int peek() {
    if (in_pos == in_len && !fill()) {
        return end_of_input;
    }
    return static_cast<unsigned char>(in_buf[in_pos]);
}

// The white space of the C locale: blank, \t, \n, \v, \f and \r.
bool is_space(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

// Drops the input up to and including the next newline, or to the end.
void discard_line() {
    while (in_pos < in_len || fill()) {
        const char *start = in_buf + in_pos;
        const void *newline = std::memchr(start, '\n', in_len - in_pos);
        if (newline != nullptr) {
            in_pos += static_cast<std::size_t>(static_cast<const char *>(newline) - start) + 1;
            return;
        }
        in_pos = in_len;
    }
}

} // namespace

bool read_number(int &value) {
    int c = peek();
    while (is_space(c)) {
        ++in_pos;
        c = peek();
    }
    if (c == end_of_input) {
        write_text("\n");
        finish(0);
    }
    const bool negative = c == '-';
    if (c == '-' || c == '+') {
        ++in_pos;
        c = peek();
    }
    if (!is_digit(c)) {
        discard_line();
        return false;
    }
    // The magnitude stops growing once it is past any int, but every digit
    // is still consumed, so a long number is rejected whole.
    constexpr long long int_min_magnitude = 2147483648LL;
    long long magnitude = 0;
    do {
        if (magnitude <= int_min_magnitude) {
            magnitude = magnitude * 10 + (c - '0');
        }
        ++in_pos;
        c = peek();
    } while (is_digit(c));
    if (magnitude > (negative ? int_min_magnitude : int_min_magnitude - 1)) {
        return false;
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

char output::buffer[output::capacity];
std::size_t output::used = 0;

void output::append_in_parts(std::string_view text) {
    while (!text.empty()) {
        if (used == capacity) {
            flush();
        }
        const std::size_t n = std::min(text.size(), capacity - used);
        std::memcpy(buffer + used, text.data(), n);
        used += n;
        text.remove_prefix(n);
    }
}

namespace {

// A listing writes the same elements every time it is shown, so the text of
// recently written numbers is kept in a small table indexed by a hash of the
// value: a repeat costs one copy. Each entry holds a value and its digits,
// with their count in the last byte; a fresh entry holds 0 and "0".
constexpr std::size_t memo_size = 256;
constexpr std::size_t text_size = 16; // "-2147483648" and the count fit
std::array<int, memo_size> memo_values{};
auto memo_texts = [] {
    std::array<std::array<char, text_size>, memo_size> texts{};
    for (auto &text : texts) {
        text[0] = '0';
        text[text_size - 1] = 1;
    }
    return texts;
}();

void make_text(int value, std::array<char, text_size> &text) {
    static constexpr auto pairs = [] {
        std::array<char, 200> table{};
        for (std::size_t i = 0; i < 100; ++i) {
            table[2 * i] = static_cast<char>('0' + i / 10);
            table[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
        return table;
    }();
    char digits[text_size]; // made right to left, two at a time
    char *const last = digits + sizeof digits;
    char *first = last;
    unsigned magnitude =
        value < 0 ? 0U - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    while (magnitude >= 100) {
        first -= 2;
        std::memcpy(first, &pairs[std::size_t{magnitude % 100} * 2], 2);
        magnitude /= 100;
    }
    if (magnitude >= 10) {
        first -= 2;
        std::memcpy(first, &pairs[std::size_t{magnitude} * 2], 2);
    } else {
        *--first = static_cast<char>('0' + magnitude);
    }
    if (value < 0) {
        *--first = '-';
    }
    const auto length = static_cast<std::size_t>(last - first);
    std::memcpy(text.data(), first, length);
    text[text_size - 1] = static_cast<char>(length);
}

} // namespace

void write_number(int value) {
    const std::size_t slot = (static_cast<unsigned>(value) * 2654435769U) >> 24;
    auto &text = memo_texts[slot];
    if (memo_values[slot] != value) {
        make_text(value, text);
        memo_values[slot] = value;
    }
    const std::size_t length = static_cast<unsigned char>(text[text_size - 1]);
    if (output::capacity - output::used >= text_size) {
        // The whole entry in one move; only its digits count as written.
        std::memcpy(output::buffer + output::used, text.data(), text_size);
        output::used += length;
    } else {
        write_text({text.data(), length});
    }
}

void finish(int status) {
    flush();
    std::exit(status);
}
