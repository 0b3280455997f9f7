// SPDX-License-Identifier: MIT
// The menu loop: shows the menu, reads a choice and hands it to the stack,
// until the user chooses End.
#include "input.hpp"
#include "output.hpp"
#include "stack.hpp"

#include <string_view>

namespace {

// The heading, the four entries and the prompt, written as one text.
constexpr std::string_view menu = "\nPerform operations on the stack:"
                                  "\n1.Push the element\n2.Pop the element\n3.Show\n4.End"
                                  "\n\nEnter the choice: ";
constexpr std::string_view invalid_choice = "\nInvalid choice!!";

} // namespace

int main() {
    for (;;) {
        write_text(menu);
        int choice = 0;
        if (!read_number(choice)) {
            write_text(invalid_choice); // not a number, or out of int range
            continue;
        }
        switch (choice) {
        case 1:
            push();
            break;
        case 2:
            pop();
            break;
        case 3:
            show();
            break;
        case 4:
            finish(0);
        default:
            write_text(invalid_choice);
            break;
        }
    }
}
