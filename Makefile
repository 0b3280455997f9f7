# SPDX-License-Identifier: MIT
# Shortcuts; CMake does the real work. Every path is quoted, so BUILD may
# hold a space.
BUILD ?= build
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
MAKEFLAGS += --no-print-directory
# A bare make builds with one job per core; make -jN hands its own job
# slots down, which the + on each build line lets the build take.
JOBS = $(if $(findstring -j,$(MAKEFLAGS)),,-j$(shell nproc))

.PHONY: all configure run test bench sanitize fuzz lint install package dist clean

all: configure
	@+cmake --build "$(BUILD)" $(JOBS)

# A build directory is configured once; after that its own build
# reconfigures when a CMake file changes.
configure:
	@test -f "$(BUILD)/cmake_install.cmake" || cmake -S . -B "$(BUILD)"

# Only the program: nothing else stands between a new user and the menu.
run: configure
	@+cmake --build "$(BUILD)" $(JOBS) --target stackmenu
	@"$(BUILD)/stackmenu"

# Configured again (quietly) first, so that test tools installed since are
# found. Without them the one test there is names the packages to install.
test:
	@cmake -S . -B "$(BUILD)" >/dev/null
	@+cmake --build "$(BUILD)" $(JOBS)
	ctest --test-dir "$(BUILD)" --output-on-failure --no-tests=error -j2

# REFERENCE=another/stackmenu, or its build directory, is measured beside.
bench: configure
	@+cmake --build "$(BUILD)" $(JOBS) --target stackmenu baseline
	python3 bench/bench.py "$(BUILD)/stackmenu" "$(BUILD)/baseline" $(if $(REFERENCE),"$(REFERENCE)")

# Any sanitizer report stops the program and fails its test. LeakSanitizer
# cannot run under strace, which the cases that inject a fault use, and
# would find nothing: the program allocates no memory at all.
sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSTACKMENU_SANITIZE=ON -DSTACKMENU_HARDEN=OFF
	@+cmake --build build-sanitize $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-sanitize --output-on-failure -j2

# AFL++ builds the program with AddressSanitizer and UndefinedBehaviorSanitizer,
# so a fault that does not crash a plain build still stops it.
AFL_SANITIZERS = AFL_USE_ASAN=1 AFL_USE_UBSAN=1
fuzz:
	$(AFL_SANITIZERS) cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=afl-clang-fast++ \
	    -DBUILD_TESTING=OFF -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=OFF -DSTACKMENU_HARDEN=OFF
	@+$(AFL_SANITIZERS) cmake --build build-fuzz $(JOBS) --target stackmenu
	python3 tests/fuzz.py build-fuzz/stackmenu tests/dialogues.txt build-fuzz/findings $(FUZZ_SECONDS)

SOURCES = $(wildcard src/*.cpp src/*.hpp tests/*.cpp bench/*.cpp)

# Silent when clean. clang-tidy reads the compile commands of the build,
# whose link-time optimisation flags it does not know.
lint: configure
	@clang-format --dry-run --Werror $(SOURCES)
	@out=$$(clang-tidy -p "$(BUILD)" --quiet --extra-arg=-Wno-ignored-optimization-argument \
	    $(filter %.cpp,$(SOURCES)) 2>&1) || { printf '%s\n' "$$out"; exit 1; }

# DESTDIR=dir installs under dir.
install: configure
	@+cmake --build "$(BUILD)" $(JOBS) --target stackmenu
	cmake --install "$(BUILD)" --prefix "$(PREFIX)"

# debian/ says how the package is built, tested and dated. It is built
# from the source package of the working tree, unpacked in BUILD, so the
# tree is only read and all that is made lands in BUILD. A BUILD inside
# the tree stays out of the source package. Ends with the path of each .deb.
package:
	@missing=$$(command -v dpkg-buildpackage >/dev/null || echo dpkg-dev; command -v dh >/dev/null || echo debhelper); \
	    test -z "$$missing" || { echo "missing tools: apt-get install" $$missing >&2; exit 1; }
	@mkdir -p "$(BUILD)" && rm -rf "$(BUILD)"/stackmenu_* "$(BUILD)"/stackmenu-dbgsym_* "$(BUILD)/source"
	@inside=$$(realpath -m --relative-to=. "$(BUILD)"); case "$$inside" in ..*|/*) inside=build;; esac; \
	    cd "$(BUILD)" && dpkg-source --tar-ignore="*/$$inside" -b "$(CURDIR)" && dpkg-source -x stackmenu_*.dsc source
	+cd "$(BUILD)/source" && dpkg-buildpackage -b -us -uc
	@rm -rf "$(BUILD)/source"
	@realpath "$(BUILD)"/*.deb

# The tarball is the last commit, named by that commit's debian/changelog,
# so it needs a git checkout.
dist:
	@test -e .git || { echo "make dist needs a git checkout: the tarball is made from the last commit" >&2; exit 1; }
	@version=$$(git show HEAD:debian/changelog | sed -n '1s/^[^(]*(\([0-9]*:\)\{0,1\}\([^)]*\)).*/\2/p') && \
	    mkdir -p "$(BUILD)" && git archive --format=tar.gz --prefix="stackmenu-$$version/" \
	        -o "$(BUILD)/stackmenu-$$version.tar.gz" HEAD && echo "$(BUILD)/stackmenu-$$version.tar.gz"

clean:
	rm -rf "$(BUILD)" build-sanitize build-fuzz
