# Thin wrapper over CMake. `make demo` builds the program alone and converts
# the shipped examples both ways; `make test` builds and runs every test.
BUILD ?= build
CMAKE ?= cmake
JOBS ?= 2

.PHONY: all configure build test demo bench clean

all: build

configure:
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	$(CMAKE) --build $(BUILD) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# Only the program (and the definitions copied beside it): no test programs.
demo: configure
	$(CMAKE) --build $(BUILD) -j$(JOBS) --target vexlor
	./scripts/demo.sh $(BUILD)/vexlor

bench:
	./bench/run.sh

clean:
	rm -rf $(BUILD) build-asan build-bench
