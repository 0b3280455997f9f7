// Number input and text output on the console, shared by the menu and the
// stack. Both sides are buffered in static storage and go straight to
// read(2) and write(2): no heap, no locale, no stdio.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// Reads the next decimal integer from standard input: white space is
// skipped, then an optional sign and the digits are taken, and nothing
// after them. Returns true with the number in `value`.
//
// Returns false, with `value` untouched, when the input holds no number
// there (the rest of that line is then discarded) or a number that does
// not fit an int (its digits are consumed, never wrapped or clamped).
//
// At the end of the input it ends the program: it writes a newline, so
// that a shell prompt starts on a line of its own, and exits with status 0.
// A read error ends the program with status 1.
bool read_number(int &value);

// Appends to the output buffer. The buffer is written out when it fills,
// before the program waits for input, and at the end; a failed write ends
// the program with status 1.
inline void write_text(std::string_view text);
void write_number(int value);

// Writes out what is buffered and exits with `status`, or with 1 when the
// output cannot be written.
[[noreturn]] void finish(int status);

// The output buffer is visible here only so that write_text, which runs a
// few times for every choice, can be inlined; nothing else touches it.
namespace output {
inline constexpr std::size_t capacity = std::size_t{1} << 17;
extern char buffer[capacity];
extern std::size_t used;
void append_in_parts(std::string_view text); // when the text does not fit
} // namespace output

inline void write_text(std::string_view text) {
    if (text.size() <= output::capacity - output::used) {
        std::memcpy(output::buffer + output::used, text.data(), text.size());
        output::used += text.size();
    } else {
        output::append_in_parts(text);
    }
}
