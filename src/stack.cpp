// SPDX-License-Identifier: MIT
#include "stack.hpp"

#include "input.hpp"
#include "output.hpp"

std::array<int, stack_capacity> inp_array{};
int top = -1;

void push() {
    if (top == stack_capacity - 1) {
        // Nothing is read: the next number in the input is the next choice.
        write_text("\nOverflow!!");
        return;
    }
    write_text("\nEnter the element to be added onto the stack: ");
    int element = 0;
    if (!read_number(element)) {
        write_text("\nInvalid element!!");
        return;
    }
    ++top;
    inp_array[top] = element;
}

void pop() {
    if (top == -1) {
        write_text("\nUnderflow!!");
        return;
    }
    write_text("\nPopped element: ");
    write_number(inp_array[top]);
    --top;
}

void show() {
    if (top == -1) {
        write_text("\nUnderflow!!");
        return;
    }
    write_text("\nElements present in the stack: \n");
    for (int i = top; i >= 0; --i) {
        write_number(inp_array[i]);
        write_text("\n");
    }
}
