# The two set-up commands of the README, and the builds CI runs.
#   make demo   installs what PMKCmd needs, builds it, signs and checks a picture
#   make test   installs what is missing, builds, runs every test

GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
# A compiler cache where one is installed (scripts/install-deps.sh installs
# ccache): a second build of the same sources, in any folder or clone,
# compiles only what changed. CMake takes the launcher from the environment
# when it first configures a build folder, so the builds the tests configure
# themselves use it too. Paths under the checkout are hashed relative to it,
# so that clones in other folders share the results.
ifneq ($(shell command -v ccache 2>/dev/null),)
export CMAKE_C_COMPILER_LAUNCHER ?= ccache
export CMAKE_CXX_COMPILER_LAUNCHER ?= ccache
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= true
endif
# The test build (build/, the sanitizer builds) compiles the test seams; what
# is installed and packaged is built without them in build-release/.
TEST_BUILD := -DPMK_TEST_SEAMS=ON
RELEASE_BUILD := -DPMK_TEST_SEAMS=OFF -DBUILD_TESTING=OFF -DPMK_BUILD_BENCHMARKS=OFF
# The sanitizer builds keep line tables only (-g1), which is all their reports
# print: the same code as -g, compiled in about 85 % of the time. (-O1 as
# well compiled the ASan build in three quarters of the time, but its tests
# then ran 60 % longer: slower in all.)
SANITIZER_BUILD := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPMK_BUILD_BENCHMARKS=OFF $(TEST_BUILD) \
	-DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"

.PHONY: all deps configure build test demo release package install test-sanitize test-thread fuzz-smoke fuzz-long windows test-windows windows-installer clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@[ -f build/CMakeCache.txt ] || cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(TEST_BUILD) $(CMAKE_FLAGS)

build: configure
	@cmake --build build -j $(JOBS)

test: build
	@ctest --test-dir build --output-on-failure -j $(JOBS)

# The whole suite with AddressSanitizer (leak checking on) and UBSan.
test-sanitize: deps
	@[ -f build-asan/CMakeCache.txt ] || cmake -S . -B build-asan $(GENERATOR) -DPMK_SANITIZE=address,undefined $(SANITIZER_BUILD)
	@cmake --build build-asan -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# The threaded scale search under ThreadSanitizer.
test-thread: deps
	@[ -f build-tsan/CMakeCache.txt ] || cmake -S . -B build-tsan $(GENERATOR) -DPMK_SANITIZE=thread $(SANITIZER_BUILD)
	@cmake --build build-tsan -j $(JOBS) --target engine_tests plugin_batch_tests
	@TSAN_OPTIONS=halt_on_error=1 ./build-tsan/tests/engine_tests --gtest_filter='Threaded*'
	@TSAN_OPTIONS=halt_on_error=1 ./build-tsan/tests/plugin_batch_tests --gtest_filter='BatchWorker*:BatchJob*'

# Every fuzz target for 30 seconds on a copy of its committed seed corpus
# (clang and libFuzzer; tests/fuzz/smoke_run.sh, as many at a time as JOBS),
# linked with FreeImage and Exiv2 built with the sanitizers and fuzzer
# coverage (scripts/build-instrumented-deps.sh, cached under
# ~/.cache/pictomarker). `make fuzz-long` runs each for FUZZ_SECONDS
# (default 1800); findings land in build-fuzz/artifacts/.
FUZZ_TARGETS := fuzz_options fuzz_payload_decode fuzz_image_reader fuzz_plugin_reader fuzz_metadata_copy fuzz_metadata_carry fuzz_cell_measure
ifneq ($(filter fuzz-long,$(MAKECMDGOALS)),)
FUZZ_SECONDS ?= 1800
endif
FUZZ_SECONDS ?= 30
fuzz-smoke: deps
	@deps=$$(JOBS=$(JOBS) bash scripts/build-instrumented-deps.sh) && \
	  { grep -qxF "PMK_INSTRUMENTED_DEPS:PATH=$$deps" build-fuzz/CMakeCache.txt 2>/dev/null || \
	    { rm -rf build-fuzz && CC=clang CXX=clang++ cmake -S . -B build-fuzz $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPMK_BUILD_FUZZERS=ON -DBUILD_TESTING=OFF -DPMK_BUILD_BENCHMARKS=OFF -DPMK_INSTRUMENTED_DEPS=$$deps; }; }
	@cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS) fuzz_unguarded_decode
	@bash tests/fuzz/check_camera_tiff.sh build-fuzz
	@parallel --will-cite --jobs $(JOBS) --halt now,fail=1 \
	  bash tests/fuzz/smoke_run.sh build-fuzz {} $(FUZZ_SECONDS) ::: $(FUZZ_TARGETS)

fuzz-long: fuzz-smoke

# What is installed and packaged: no tests, benchmarks or test seams.
release: deps
	@[ -f build-release/CMakeCache.txt ] || cmake -S . -B build-release $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(RELEASE_BUILD) $(CMAKE_FLAGS)
	@cmake --build build-release -j $(JOBS)

# The Debian package (build-release/pictomarker_VERSION_ARCH.deb).
package: release
	@cd build-release && cpack -G DEB

# Installs under PREFIX (default /usr/local).
PREFIX ?= /usr/local
install: release
	@cmake --install build-release --prefix $(PREFIX)

# Installs and configures only what PMKCmd needs, in a build folder of its
# own, so that a later `make test` still configures everything in build/.
demo:
	@bash scripts/install-deps.sh demo
	@[ -f build-demo/CMakeCache.txt ] || cmake -S . -B build-demo $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPMK_CMD_ONLY=ON $(CMAKE_FLAGS)
	@cmake --build build-demo -j $(JOBS) --target PMKCmd
	@mkdir -p out
	@echo "Signing tests/data/kodim23.png with the signature DEMO-26 into out/kodim23_signed.png:"
	@./build-demo/cmd/PMKCmd -i ./tests/data/kodim23.png -o ./out/kodim23_signed.png -s DEMO-26 -cores $(JOBS)
	@echo "Checking out/kodim23_signed.png:"
	@./build-demo/cmd/PMKCmd -i ./out/kodim23_signed.png -cores $(JOBS)

# Windows x64, cross-built with MinGW-w64 against the libraries of
# scripts/build-windows-deps.sh (cross-built once from Debian's sources and
# cached under ~/.cache/pictomarker): `make windows` builds what is shipped
# into build-windows/; `make test-windows` builds the test build into
# build-windows-test/ and runs its suites under Wine, comparing the programs
# with the Linux ones of build/.
WINDOWS_CONFIGURE = deps=$$(JOBS=$(JOBS) bash scripts/build-windows-deps.sh) && \
	{ grep -qxF "PMK_WINDOWS_DEPS:PATH=$$deps" $(1)/CMakeCache.txt 2>/dev/null || \
	  { rm -rf $(1) && cmake -S . -B $(1) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DPMK_WINDOWS_DEPS=$$deps $(2); }; }
windows: deps
	@$(call WINDOWS_CONFIGURE,build-windows,$(RELEASE_BUILD))
	@cmake --build build-windows -j $(JOBS)

test-windows: configure
	@$(call WINDOWS_CONFIGURE,build-windows-test,$(TEST_BUILD) -DPMK_BUILD_BENCHMARKS=OFF)
	@cmake --build build-windows-test -j $(JOBS)
	@cmake --build build -j $(JOBS) --target PMKCmd PMKInspect
	@WINEDEBUG=-all ctest --test-dir build-windows-test --output-on-failure -j $(JOBS)

# The installer, build-windows/PictomarkerSetup-VERSION-x64.exe (NSIS), from
# the Windows build and the licence texts in its libraries' prefix. (The test
# build's suites install and uninstall one made from their own build.)
windows-installer: windows
	@deps=$$(JOBS=$(JOBS) bash scripts/build-windows-deps.sh) && \
	  bash packaging/windows/build-installer.sh build-windows "$$deps"

clean:
	rm -rf build build-demo build-release build-asan build-tsan build-fuzz build-windows build-windows-test out
