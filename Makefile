# Set-up, build, run and test in one command each; see README.md.
BUILD ?= build
JOBS ?= $(shell nproc)
TEST_FLAVOUR := $(BUILD)/x86_64
PRODUCT := $(BUILD)/i686

.PHONY: all deps build test run clean

all: build

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B $(TEST_FLAVOUR) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(TEST_FLAVOUR) -j$(JOBS)
	cmake -S . -B $(PRODUCT) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFERRULE_BUILD_TESTS=OFF
	cmake --build $(PRODUCT) -j$(JOBS)

test: build
	tools/with-display.sh ctest --test-dir $(TEST_FLAVOUR) --output-on-failure

run: build
	tools/with-display.sh tools/run-ferrule.sh $(TEST_FLAVOUR)

clean:
	rm -rf $(BUILD)
