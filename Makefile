# Shortcuts; CMake does the real work.
BUILD ?= build
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60

.PHONY: all build run test bench sanitize fuzz lint install package clean

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

# Any sanitizer report stops the program and fails its test.
sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSTACKMENU_SANITIZE=ON
	cmake --build build-sanitize -j
	UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-sanitize --output-on-failure -j2

fuzz:
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=afl-clang-fast++ -DBUILD_TESTING=OFF
	cmake --build build-fuzz -j
	python3 tests/fuzz.py build-fuzz/stackmenu tests/dialogues.txt build-fuzz/findings $(FUZZ_SECONDS)

SOURCES = $(wildcard src/*.cpp src/*.hpp tests/*.cpp)

lint: build
	clang-format --dry-run --Werror $(SOURCES)
	clang-tidy -p $(BUILD) --quiet $(filter %.cpp,$(SOURCES))

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	cd $(BUILD) && cpack

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz
