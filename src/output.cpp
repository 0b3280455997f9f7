// SPDX-License-Identifier: MIT
#include "output.hpp"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace {

char buffer[output_capacity];
std::size_t used = 0;

// For a text that does not fit: fills the buffer up, writes it out, and so
// on until the rest fits. Kept out of line so that write_text stays small
// enough to be inlined wherever a text is written.
[[gnu::noinline]] void write_in_parts(std::string_view text) {
    while (text.size() > output_capacity - used) {
        const std::size_t part = output_capacity - used;
        std::memcpy(buffer + used, text.data(), part);
        used = output_capacity;
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
    if (text.size() > output_capacity - used) {
        write_in_parts(text);
        return;
    }
    std::memcpy(buffer + used, text.data(), text.size());
    used += text.size();
}

void write_number(int value) {
    constexpr std::size_t longest = 11; // "-2147483648"
    if (output_capacity - used < longest) {
        flush();
    }
    const char *const last = std::to_chars(buffer + used, buffer + output_capacity, value).ptr;
    used = static_cast<std::size_t>(last - buffer);
}

void finish(int status) {
    flush();
    std::exit(status);
}
