// SPDX-License-Identifier: MIT
// The same dialogue written the plain way, on scanf and printf, for the
// benchmark to measure the program against. It is not installed: it stops
// at the first input that is not a number and knows nothing of write errors.
#include <cstdio>
#include <cstdlib>

int inp_array[10];
int top = -1;

int main() {
    for (;;) {
        std::printf("\nPerform operations on the stack:");
        std::printf("\n1.Push the element\n2.Pop the element\n3.Show\n4.End");
        std::printf("\n\nEnter the choice: ");
        int choice = 0;
        if (std::scanf("%d", &choice) != 1) {
            std::exit(0);
        }
        int element = 0;
        switch (choice) {
        case 1:
            if (top == 9) {
                std::printf("\nOverflow!!");
                break;
            }
            std::printf("\nEnter the element to be added onto the stack: ");
            if (std::scanf("%d", &element) != 1) {
                std::exit(0);
            }
            inp_array[++top] = element;
            break;
        case 2:
            if (top == -1) {
                std::printf("\nUnderflow!!");
                break;
            }
            std::printf("\nPopped element: %d", inp_array[top--]);
            break;
        case 3:
            if (top == -1) {
                std::printf("\nUnderflow!!");
                break;
            }
            std::puts("\nElements present in the stack: ");
            for (int i = top; i >= 0; --i) {
                std::printf("%d\n", inp_array[i]);
            }
            break;
        case 4:
            std::exit(0);
        default:
            std::printf("\nInvalid choice!!");
        }
    }
}
