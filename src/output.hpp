// SPDX-License-Identifier: MIT
// Text output on standard output, buffered in static storage and written
// with write(2): no heap, no locale, no stdio.
#pragma once

#include <cstddef>
#include <string_view>

// The output buffer holds this many bytes; a write never takes more.
inline constexpr std::size_t output_capacity = std::size_t{1} << 17;

// Append to the output buffer, writing it out first when the text does not
// fit in the room left; a text is never longer than the buffer. A failed
// write ends the program with status 1: output that is lost is never
// followed by success.
void write_text(std::string_view text);
void write_number(int value); // in decimal, a minus sign when negative

// Writes out everything buffered; done before the program waits for input,
// so whoever answers has seen the prompt.
void flush();

// Writes out what is buffered and exits with `status`, or with 1 when the
// output cannot be written.
[[noreturn]] void finish(int status);
