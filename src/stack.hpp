// SPDX-License-Identifier: MIT
// The one stack of the program and the three operations the menu offers on
// it. Each operation carries on its own short dialogue on the console.
#pragma once

#include <array>

inline constexpr int stack_capacity = 10;

// Slot 0 is the bottom; the elements stand in slots 0 to `top`, and `top`
// is -1 when the stack is empty. Only push, pop and show touch these.
extern std::array<int, stack_capacity> inp_array;
extern int top;

// Reads an element and puts it on top, or reports a full stack.
void push();
// Writes the top element and removes it, or reports an empty stack.
void pop();
// Lists the elements from the top down, or reports an empty stack.
void show();
