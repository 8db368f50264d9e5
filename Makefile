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

bench: deps
	@if [ -x bench/run ]; then bench/run; else echo "bench: no benchmarks yet"; fi

fuzz:
	@if [ -x fuzz/run ]; then fuzz/run; else echo "fuzz: no harnesses yet"; fi

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
