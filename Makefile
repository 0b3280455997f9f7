# Shortcuts; CMake does the real work.
BUILD ?= build

.PHONY: all build run test bench clean

all: build

build:
	cmake -S . -B $(BUILD)
	cmake --build $(BUILD) -j

run: build
	./$(BUILD)/stackmenu

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

# REFERENCE=path/to/another/build runs the same scripts through it too.
bench: build
	python3 bench/bench.py ./$(BUILD)/stackmenu $(REFERENCE)

clean:
	rm -rf $(BUILD)
