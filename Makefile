# Thin wrapper over CMake + Ninja. Every target first makes sure the
# Debian packages the build needs are installed.
BUILD      ?= build
SANITIZE   ?= build-sanitize
FUZZ       ?= build-fuzz
WINBUILD   ?= build-win
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build test bench sanitize fuzz mutation run package clean \
        windows windows-configure test-windows windows-package

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

bench: configure
	@cmake --build $(BUILD) -j $(JOBS) --target tarvex_bench
	@$(BUILD)/bin/tarvex_bench

sanitize: deps
	@cmake -S . -B $(SANITIZE) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVEX_SANITIZE=ON $(CMAKE_ARGS) >/dev/null
	@cmake --build $(SANITIZE) -j $(JOBS)
	@cd $(SANITIZE) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 600

# Every libFuzzer target of fuzz/ for FUZZ_SECONDS each (clang, ASan, UBSan);
# FUZZ_TARGETS picks some of them. Fails on the first finding, which is left
# in $(FUZZ)/findings/<target>/.
fuzz: deps
	@cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DTARVEX_FUZZ=ON $(CMAKE_ARGS) >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS)
	@scripts/run-fuzz $(FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# Applies each fault of scripts/mutants.txt alone, builds and runs the whole
# suite, and fails when the suite lets one live (build-mutation/).
mutation: deps
	@scripts/mutation-test scripts/mutants.txt

# The Debian package, build/tarvex-server_<version>_<arch>.deb.
package: build
	@cd $(BUILD) && cpack -G DEB >/dev/null && ls -1 $(CURDIR)/$(BUILD)/*.deb

run: build
	@scripts/run-server $(BUILD)/bin

clean:
	rm -rf $(BUILD) $(SANITIZE) $(FUZZ) $(WINBUILD)

# The Windows build (mingw-w64, static): build-win/bin/tarvexd.exe and
# tarvex-device.exe. The tests run under Wine in a private prefix; each test
# process keeps its registry values and folders in a world of its own.
export WINEPREFIX ?= $(abspath $(WINBUILD))/wine-prefix
export WINEDEBUG ?= -all
windows-configure: deps
	@cmake -S . -B $(WINBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DTARVEX_WINDOWS_TESTS=ON $(CMAKE_ARGS) >/dev/null

windows: windows-configure
	@cmake --build $(WINBUILD) -j $(JOBS) --target tarvexd tarvex-device

test-windows: windows-configure
	@scripts/wine-prefix
	@cmake --build $(WINBUILD) -j $(JOBS)
	@cd $(WINBUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

windows-package: windows-configure
	@cmake --build $(WINBUILD) -j $(JOBS) --target windows-package
	@python3 -m zipfile -l $(WINBUILD)/tarvex-server-*-win64.zip
