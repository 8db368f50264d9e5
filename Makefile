# Thin wrapper over CMake. `make` builds into build/, `make test` installs what is
# missing, builds and runs every test, `make demo` converts a synthetic log.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo bench fuzz clean format

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

demo: deps build
	@mkdir -p demo
	$(BUILD)/morphel sample --product tolvan -o demo/drive.tlf --seconds 120 --seed 7
	$(BUILD)/morphel convert demo/drive.tlf -o demo/drive.out --fields "GPS Time (HH:MM:SS),Latitude (Decimal Degrees),Longitude (Decimal Degrees),<< DATA >>" --receivers 1,2
	@echo "--- first lines of demo/drive.out ---"
	@head -n 8 demo/drive.out

# Optimised build of its own (no sanitizers), then the throughput table
# (bench/results.md) and the micro benchmarks. BENCH_MB, BENCH_RUNS,
# BENCH_PRODUCTS and BENCH_SCALE=0 make a quicker run (see bench/run).
BENCH_BUILD ?= build-bench
bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DMORPHEL_SANITIZE=OFF -DMORPHEL_GUI=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target morphel morphel_bench
	BENCH_BUILD=$(BENCH_BUILD) bench/run
	$(BENCH_BUILD)/bench/morphel_bench --benchmark_min_time=0.2

fuzz:
	@if [ -x fuzz/run ]; then fuzz/run; else echo "fuzz: no harnesses yet"; fi

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
