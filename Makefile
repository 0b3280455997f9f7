# Shortcuts; CMake does the real work.
BUILD ?= build

.PHONY: all build run test clean

all: build

build:
	cmake -S . -B $(BUILD)
	cmake --build $(BUILD) -j

run: build
	./$(BUILD)/stackmenu

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

clean:
	rm -rf $(BUILD)
