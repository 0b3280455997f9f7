# SPDX-License-Identifier: MIT
# Shortcuts; CMake does the real work.
BUILD ?= build
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60

.PHONY: all configure build run test bench sanitize fuzz lint install package dist clean

all: build

configure:
	cmake -S . -B $(BUILD)

build: configure
	cmake --build $(BUILD) -j

# Only the program: nothing else stands between a new user and the menu.
run: configure
	cmake --build $(BUILD) -j --target stackmenu
	./$(BUILD)/stackmenu

# Without the test tools this stops before building anything, with one line
# that says what to install.
test: configure
	@if [ -f $(BUILD)/tests-missing ]; then cat $(BUILD)/tests-missing >&2; exit 1; fi
	cmake --build $(BUILD) -j
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j2

# REFERENCE=path/to/another/build runs the same scripts through it too.
bench: configure
	cmake --build $(BUILD) -j --target stackmenu
	python3 bench/bench.py ./$(BUILD)/stackmenu $(REFERENCE)

# Any sanitizer report stops the program and fails its test.
sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSTACKMENU_SANITIZE=ON
	cmake --build build-sanitize -j
	UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-sanitize --output-on-failure -j2

fuzz:
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=afl-clang-fast++ -DBUILD_TESTING=OFF \
	    -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=OFF
	cmake --build build-fuzz -j --target stackmenu
	python3 tests/fuzz.py build-fuzz/stackmenu tests/dialogues.txt build-fuzz/findings $(FUZZ_SECONDS)

SOURCES = $(wildcard src/*.cpp src/*.hpp tests/*.cpp)

# Silent when clean. clang-tidy reads the compile commands of the build,
# whose link-time optimisation flags it does not know.
lint:
	@cmake -S . -B $(BUILD) >/dev/null
	@clang-format --dry-run --Werror $(SOURCES)
	@out=$$(clang-tidy -p $(BUILD) --quiet --extra-arg=-Wno-ignored-optimization-argument \
	    $(filter %.cpp,$(SOURCES)) 2>&1) || { printf '%s\n' "$$out"; exit 1; }

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# SOURCE_DATE_EPOCH dates the package; when it is not set, the last commit does.
package: build
	cd $(BUILD) && cpack

dist: configure
	cmake --build $(BUILD) --target dist

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz
