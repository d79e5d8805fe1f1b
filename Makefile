# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing, configure and build: `make run` only what the
# program needs, `make test` the test tools as well.

BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The program and the committee's tool; what `make run` builds.
PROGRAMS   := tirlada tirlada-check

.PHONY: all deps deps-install deps-test programs build run test test-asan bench screenshots fuzz \
        format-check clean install uninstall package

all: build

# Building and running; installing and packaging; the test tools.
deps:
	@bash scripts/install-deps.sh build
deps-install:
	@bash scripts/install-deps.sh install
deps-test:
	@bash scripts/install-deps.sh test

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN)

# The program and the committee's tool, without the tests.
programs: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS)

# Everything: the programs, the desktop files, the tests.
build: deps-install $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: programs
	./$(BUILD)/tirlada

# Every test, the install and the package's checks and the format included.
test: deps-test build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps-test
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTIRLADA_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: deps-test
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTIRLADA_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bash bench/run.sh $(BENCH_BUILD)

fuzz: deps-test
	bash scripts/fuzz.sh

screenshots: deps $(BUILD)/CMakeCache.txt
	bash scripts/screenshots.sh $(BUILD)

# Fails when a source file differs from what clang-format makes of it.
format-check:
	@bash scripts/format-check.sh

# The build folders go; the install record stays, so that `make uninstall`
# still knows what `make install` put in place.
clean:
	@if [ -f $(INSTALL_RECORD) ]; then \
	  find $(BUILD) -mindepth 1 -maxdepth 1 ! -name $(notdir $(INSTALL_RECORD)) -exec rm -rf {} +; \
	else rm -rf $(BUILD); fi
	rm -rf $(ASAN_BUILD) $(BENCH_BUILD) build-fuzz fuzz-out

# Installs the program under PREFIX, records what it put there in
# INSTALL_RECORD, and refreshes the desktop's databases below PREFIX. With
# DESTDIR, only stages the files below DESTDIR: no record, no refresh.
PREFIX ?= /usr/local
INSTALL_RECORD ?= $(BUILD)/install-record.txt

install: deps-install $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS) tirlada_desktop_files
	@bash scripts/install-record.sh install "$(BUILD)" "$(PREFIX)" "$(DESTDIR)" "$(INSTALL_RECORD)"

# Removes exactly what the record lists, then the folders the install
# created that are now empty, and refreshes the databases below its prefix.
uninstall:
	@bash scripts/install-record.sh uninstall "$(INSTALL_RECORD)"

# Builds the Debian package tirlada_<version>_<arch>.deb in $(BUILD); file
# times are those of the last commit, so that a commit gives the same package.
package: deps-install $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS) tirlada_desktop_files
	cd $(BUILD) && cpack -G DEB
