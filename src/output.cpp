// SPDX-License-Identifier: MIT
#include "output.hpp"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::size_t capacity = std::size_t{1} << 17;
char buffer[capacity];
std::size_t used = 0;

// For a text that does not fit: fills the buffer up, writes it out, and so
// on until the rest fits. Kept out of line so that write_text stays small
// enough to be inlined wherever a text is written.
[[gnu::noinline]] void write_in_parts(std::string_view text) {
    while (text.size() > capacity - used) {
        const std::size_t part = capacity - used;
        std::memcpy(buffer + used, text.data(), part);
        used = capacity;
        flush();
        text.remove_prefix(part);
    }
    std::memcpy(buffer + used, text.data(), text.size());
    used += text.size();
}

} // namespace

void flush() {
    std::size_t done = 0;
    while (done < used) {
        const ssize_t n = write(STDOUT_FILENO, buffer + done, used - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A descriptor shared with others may have been left
            // non-blocking: wait for room instead of giving up.
            pollfd room{STDOUT_FILENO, POLLOUT, 0};
            if ((poll(&room, 1, -1) < 0 && errno != EINTR) || (room.revents & POLLNVAL) != 0) {
                std::_Exit(1);
            }
        } else if (n >= 0 || errno != EINTR) {
            std::_Exit(1); // output is lost: never end with success after that
        }
    }
    used = 0;
}

void write_text(std::string_view text) {
    if (text.size() > capacity - used) {
        write_in_parts(text);
        return;
    }
    std::memcpy(buffer + used, text.data(), text.size());
    used += text.size();
}

namespace {

// A listing writes the same elements every time it is shown, so the texts
// of recently written numbers are kept in a table indexed by a hash of the
// value: a repeat costs one copy. Each entry holds the digits at its front
// and their count in its last byte.
constexpr int memo_bits = 8;
constexpr std::size_t memo_size = std::size_t{1} << memo_bits;
constexpr std::size_t text_size = 16; // "-2147483648" and the count fit

// The top bits of a multiplicative hash, the same whatever the width of int.
constexpr std::size_t slot_of(int value) {
    const auto hash = static_cast<std::uint32_t>(static_cast<std::uint32_t>(value) * 2654435769U);
    return hash >> (32 - memo_bits);
}

// Every slot starts with a value that never lands in it, so it misses at
// first: 0 lands in slot 0, which starts with 1 instead.
constexpr std::array<int, memo_size> memo_start{1};
constexpr bool every_slot_misses_first() {
    for (std::size_t slot = 0; slot < memo_size; ++slot) {
        if (slot_of(memo_start[slot]) == slot) {
            return false;
        }
    }
    return true;
}
static_assert(every_slot_misses_first(), "a memo slot starts with the value it remembers");
std::array<int, memo_size> memo_values = memo_start;
std::array<std::array<char, text_size>, memo_size> memo_texts{};

// Out of line, like write_in_parts, to keep the hot path of write_number short.
[[gnu::noinline]] void make_text(int value, std::array<char, text_size> &text) {
    const char *const last = std::to_chars(text.data(), text.data() + text_size - 1, value).ptr;
    text[text_size - 1] = static_cast<char>(last - text.data());
}

} // namespace

void write_number(int value) {
    const std::size_t slot = slot_of(value);
    auto &text = memo_texts[slot];
    if (memo_values[slot] != value) {
        make_text(value, text);
        memo_values[slot] = value;
    }
    const std::size_t length = static_cast<unsigned char>(text[text_size - 1]);
    if (capacity - used < text_size) {
        write_text({text.data(), length});
        return;
    }
    std::memcpy(buffer + used, text.data(), text_size); // only the digits count as written
    used += length;
}

void finish(int status) {
    flush();
    std::exit(status);
}
