// SPDX-License-Identifier: MIT
// Number input from standard input, buffered in static storage and read
// with read(2): no heap, no locale, no stdio.
#pragma once

// Reads the next decimal integer: white space is skipped, then an optional
// sign and the digits are taken, and nothing after them. Returns true with
// the number in `value`.
//
// Returns false, with `value` untouched, when the input holds no number
// there (the rest of that line is then discarded) or a number that does
// not fit an int (its digits are consumed, never wrapped or clamped).
//
// Everything written so far goes out before it waits for input. At the end
// of the input it writes a newline, so that a shell prompt starts on a line
// of its own, and ends the program with status 0; a read error ends it
// with status 1.
bool read_number(int &value);
