#include "console.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace {

// Big enough that a scripted run writes in pipe-sized chunks, small enough
// that the two buffers cost little next to the C library's own pages.
constexpr std::size_t buffer_size = std::size_t{1} << 16;

char out_buf[buffer_size];
std::size_t out_len = 0;

char in_buf[buffer_size];
std::size_t in_pos = 0;
std::size_t in_len = 0;
bool in_ended = false; // once the input has ended, it stays ended

constexpr int end_of_input = -1;

// A descriptor we share with others may have been left non-blocking; then
// wait for it instead of taking "try again" for a failure.
bool would_block() { return errno == EAGAIN || errno == EWOULDBLOCK; }

void wait_for(int fd, short events) {
    pollfd ready{fd, events, 0};
    while (poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
}

void flush() {
    std::size_t done = 0;
    while (done < out_len) {
        const ssize_t n = write(STDOUT_FILENO, out_buf + done, out_len - done);
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
    out_len = 0;
}

// Refills the input buffer; false at the end of the input. Everything
// written so far goes out first, so whoever answers sees the prompt.
bool fill() {
    if (in_ended) {
        return false;
    }
    flush();
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, in_buf, buffer_size);
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
bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

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

void write_text(std::string_view text) {
    while (!text.empty()) {
        if (out_len == buffer_size) {
            flush();
        }
        const std::size_t n = std::min(text.size(), buffer_size - out_len);
        std::memcpy(out_buf + out_len, text.data(), n);
        out_len += n;
        text.remove_prefix(n);
    }
}

void write_number(int value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    write_text({digits, static_cast<std::size_t>(result.ptr - digits)});
}

void finish(int status) {
    flush();
    std::exit(status);
}
