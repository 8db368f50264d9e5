# Thin wrapper over CMake. `make` builds into build/, `make test` installs what is
# missing, builds and runs every test, `make demo` builds the command line alone
# and converts a synthetic log.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# The second test build: engine and tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, without the window.
ASAN_BUILD ?= build-asan
# Tests left out of the sanitized run (regular expression for ctest -E);
# empty: all of them run.
ASAN_EXCLUDE ?=
# Test files not built for the sanitized run, to keep CI short on two cores:
# the face-level tests (command line, model, presets) and the printf
# differentials; every reader, decoder, detection, configuration,
# conversion-run, truncation and fuzz-regression test runs sanitized.
ASAN_SKIP_FILES ?= /(Cli[A-Za-z]*|MainModel|Presets|Formatting|Fmt|Formats|NativeFormats|OutputFile)Test\.cpp$$
# -O1 with line tables only: about half the compile time of -O2 -g on two
# cores, and the sanitizers' reports still name file and line.
ASAN_OPT ?= -O1 -g1 -DNDEBUG
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test test-asan demo bench fuzz clean format

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-asan

# The unit tests again, sanitized; the saved fuzz inputs replay among them
# (FuzzRegressions). Only the test program and the command are built.
test-asan:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_CXX_FLAGS_RELEASE="$(ASAN_OPT)" -DMORPHEL_SANITIZE=ON -DMORPHEL_GUI=OFF \
	  -DMORPHEL_TEST_EXCLUDE='$(ASAN_SKIP_FILES)'
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target morphel_tests morphel_export_tests
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) $(if $(ASAN_EXCLUDE),-E '$(ASAN_EXCLUDE)')

# Builds only the command line and its libraries, then converts a sample.
demo: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target morphel
	scripts/demo $(BUILD) demo

# Optimised build of its own (no sanitizers), then the throughput table
# (bench/results.md) and the micro benchmarks. BENCH_MB, BENCH_RUNS,
# BENCH_PRODUCTS and BENCH_SCALE=0 make a quicker run (see bench/run).
BENCH_BUILD ?= build-bench
bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DMORPHEL_SANITIZE=OFF -DMORPHEL_GUI=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target morphel morphel_bench
	BENCH_BUILD=$(BENCH_BUILD) bench/run
	$(BENCH_BUILD)/bench/morphel_bench --benchmark_min_time=0.2

# Builds the libFuzzer harnesses with clang (build-fuzz/) and runs each for
# FUZZ_SECONDS seconds; findings go to fuzz/crashes/<harness>/.
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
