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
            if (poll(&room, 1, -1) < 0 && errno != EINTR) {
                std::_Exit(1);
            }
        } else if (n >= 0 || errno != EINTR) {
            std::_Exit(1); // output is lost: never end with success after that
        }
    }
    used = 0;
}

// Every text the program writes is far shorter than the buffer, so it
// always fits once the buffer has been written out.
void write_text(std::string_view text) {
    if (text.size() > output_capacity - used) {
        flush();
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
