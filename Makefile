# SPDX-License-Identifier: MIT
# Shortcuts; CMake does the real work. A build directory is configured once;
# after that its own build reconfigures when a CMake file changes.
BUILD ?= build
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
MAKEFLAGS += --no-print-directory

.PHONY: all build run test bench sanitize fuzz lint install package dist clean

all: build

$(BUILD)/cmake_install.cmake:
	cmake -S . -B $(BUILD)

build: $(BUILD)/cmake_install.cmake
	@cmake --build $(BUILD) -j

# Only the program: nothing else stands between a new user and the menu.
run: $(BUILD)/cmake_install.cmake
	@cmake --build $(BUILD) -j --target stackmenu
	@$(BUILD)/stackmenu

# Without the test tools this stops before building anything, with one line
# that says what to install.
test: $(BUILD)/cmake_install.cmake
	@if [ -f $(BUILD)/tests-missing ]; then cat $(BUILD)/tests-missing >&2; exit 1; fi
	@cmake --build $(BUILD) -j
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j2

# REFERENCE=path/to/another/build runs the same scripts through it too.
bench: $(BUILD)/cmake_install.cmake
	@cmake --build $(BUILD) -j --target stackmenu
	python3 bench/bench.py $(BUILD)/stackmenu $(REFERENCE)

# Any sanitizer report stops the program and fails its test.
sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSTACKMENU_SANITIZE=ON \
	    -DSTACKMENU_HARDEN=OFF
	@cmake --build build-sanitize -j
	UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-sanitize --output-on-failure -j2

# AFL++ builds the program with AddressSanitizer and UndefinedBehaviorSanitizer,
# so a fault that does not crash a plain build still stops it.
AFL_SANITIZERS = AFL_USE_ASAN=1 AFL_USE_UBSAN=1
fuzz:
	$(AFL_SANITIZERS) cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=afl-clang-fast++ \
	    -DBUILD_TESTING=OFF -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=OFF -DSTACKMENU_HARDEN=OFF
	@$(AFL_SANITIZERS) cmake --build build-fuzz -j --target stackmenu
	python3 tests/fuzz.py build-fuzz/stackmenu tests/dialogues.txt build-fuzz/findings $(FUZZ_SECONDS)

SOURCES = $(wildcard src/*.cpp src/*.hpp tests/*.cpp)

# Silent when clean. clang-tidy reads the compile commands of the build,
# whose link-time optimisation flags it does not know.
lint: $(BUILD)/cmake_install.cmake
	@clang-format --dry-run --Werror $(SOURCES)
	@out=$$(clang-tidy -p $(BUILD) --quiet --extra-arg=-Wno-ignored-optimization-argument \
	    $(filter %.cpp,$(SOURCES)) 2>&1) || { printf '%s\n' "$$out"; exit 1; }

install: $(BUILD)/cmake_install.cmake
	@cmake --build $(BUILD) -j --target stackmenu docs
	cmake --install $(BUILD) --prefix $(PREFIX)

# SOURCE_DATE_EPOCH dates the package; when it is not set, the last commit
# does, so the build is configured again (quietly) to take either. The
# package holds the program and its documents, not the tests.
package:
	@cmake -S . -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j --target stackmenu docs
	cd $(BUILD) && cpack

# The tarball is the last commit, so it needs a git checkout.
ifneq ($(wildcard .git),)
dist: $(BUILD)/cmake_install.cmake
	@cmake --build $(BUILD) --target dist
else
dist:
	$(error make dist needs a git checkout: the tarball is made from the last commit)
endif

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz
