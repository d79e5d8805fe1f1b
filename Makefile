# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing, configure and build.

BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build run test test-asan bench screenshots fuzz clean install uninstall package

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/tirlada

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTIRLADA_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTIRLADA_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bash bench/run.sh $(BENCH_BUILD)

fuzz: deps
	bash scripts/fuzz.sh

screenshots: build
	bash scripts/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) build-fuzz fuzz-out

# Installs the program under PREFIX (below DESTDIR, when given) and, for a
# real install, refreshes the desktop's file-type and menu databases.
PREFIX ?= /usr/local

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	@if [ -z "$(DESTDIR)" ]; then \
	  update-mime-database "$(PREFIX)/share/mime" 2>/dev/null || true; \
	  update-desktop-database -q "$(PREFIX)/share/applications" 2>/dev/null || true; \
	fi

# Removes what `make install` put in place.
uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "Nothing installed from $(BUILD)."; exit 1; }
	xargs -d '\n' rm -f < $(BUILD)/install_manifest.txt
	@if [ -z "$(DESTDIR)" ]; then \
	  update-mime-database "$(PREFIX)/share/mime" 2>/dev/null || true; \
	  update-desktop-database -q "$(PREFIX)/share/applications" 2>/dev/null || true; \
	fi

# Builds the Debian package tirlada_<version>_<arch>.deb in $(BUILD).
package: build
	cd $(BUILD) && cpack -G DEB
