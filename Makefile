# The two commands of the README, and the benchmarks.
#   make run    builds and opens the editor in build/run with the default squares
#   make test   builds and runs every test, then the sanitizer and fuzz runs
#   make bench  builds and runs the benchmarks and prints one table
#   make install, make uninstall, make deb: see "Install" in the README
JOBS ?= $(shell nproc)
BUILD := build
ASAN_BUILD := build-sanitize
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 30
PREFIX ?= /usr/local
INSTALLED ?= $(BUILD)/installed-files.txt

.PHONY: all deps test-deps build run test test-main test-sanitize test-fuzz bench memory install uninstall deb clean

all: build

# Building and running need only the build packages; the tests add X
# servers, a print server, locales and the rest (see tools/install-deps).
deps:
	@tools/install-deps build

test-deps:
	@tools/install-deps test

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	mkdir -p $(BUILD)/run/SAVE $(BUILD)/run/TEMP
	cd $(BUILD)/run && ../chess-diagram

test: test-main test-sanitize test-fuzz

# Every test, then the end-to-end tests of the editor again as a Russian
# desktop runs them, with GTK+'s own dialogs in Russian (each of them starts
# its own X server).
test-main: test-deps build
	xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --test-dir $(BUILD) --output-on-failure -j 2
	LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 ctest --test-dir $(BUILD) --output-on-failure -j 2 -L e2e -E 'install_test|render_test'

# The unit tests again, with address and undefined-behaviour sanitizers.
# Tests that do not touch GTK+ run with leak checking (tests/lsan.supp names
# only GLib's own one-time type registrations); tests that open windows run
# without it, since GTK+ keeps its caches for the life of the process.
SANITIZE_ENV := UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
test-sanitize: test-deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCHESS_SANITIZE=ON -DCHESS_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	$(SANITIZE_ENV) ASAN_OPTIONS=detect_leaks=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j 2 -L unit
	$(SANITIZE_ENV) ASAN_OPTIONS=detect_leaks=0 \
	xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --test-dir $(ASAN_BUILD) --output-on-failure -j 2 -L gui

test-fuzz: test-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHESS_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) sh fuzz/run-all $(FUZZ_BUILD)

bench: build
	@tools/install-deps bench
	xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" sh bench/run-all $(BUILD)

# One scripted session of the real program under valgrind's memcheck, and its
# peak resident memory; it starts X servers of its own.
memory: test-deps build
	sh tools/memory-session $(BUILD)

# Installs under PREFIX, below DESTDIR when one is given, and notes every
# file it put in place so that uninstall removes exactly those.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt > $(INSTALLED)

uninstall:
	xargs -r -d '\n' rm -f < $(INSTALLED)
	sed -n 's|\(.*/chess-diagram\)/.*|\1|p' $(INSTALLED) | sort -u | \
	  xargs -r -d '\n' -I{} find {} -depth -type d -empty -delete
	rm -f $(INSTALLED)

# The Debian package, chess-diagram_<version>_<architecture>.deb in this folder.
deb: build
	@tools/install-deps package
	rm -f $(BUILD)/package/*.deb
	cpack --config $(BUILD)/CPackConfig.cmake -B $(BUILD)/package
	cp $(BUILD)/package/*.deb .

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
