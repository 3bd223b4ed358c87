# Set-up, build, run and test in one command each; see README.md.
BUILD ?= build
JOBS ?= $(shell nproc)
# The product's architecture; its tree also builds the tests that run where the machine runs 32-bit code.
I686 := $(BUILD)/i686
# The same sources for x86-64: the suite runs here on every machine.
X86_64 := $(BUILD)/x86_64
# The build's own tools and the native tests, built once for both trees.
HOST := $(abspath $(BUILD))/host

CONFIGURE = cmake -S . -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFERRULE_HOST_DIR=$(HOST)

.PHONY: all deps build test run clean sanitize bench dist

all: build

deps:
	@tools/install-deps.sh

build: deps
	$(CONFIGURE) -B $(I686) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake
	cmake --build $(I686) -j$(JOBS)
	$(CONFIGURE) -B $(X86_64) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake
	cmake --build $(X86_64) -j$(JOBS)

test: build sanitize
	tools/with-display.sh tools/run-tests.sh $(I686) $(X86_64)

run: build
	tools/with-display.sh tools/run-product.sh $(I686) $(X86_64)

# The product's embedded debug data against addr2line: 10,000 lookups, one run each, same machine.
# Then the in-memory data sets against the standard library, under Wine (i686 where it runs).
bench: deps
	$(CONFIGURE) -B $(I686) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake
	cmake --build $(I686) -j$(JOBS) --target Ferrule
	cmake --build $(I686) --target bench
	$(CONFIGURE) -B $(X86_64) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake
	tools/bench-datasets.sh $(I686) $(X86_64)

# The platform-free tests under AddressSanitizer and UndefinedBehaviorSanitizer (part of `make test`), in a host tree of
# their own so the instrumented objects never reach the tools the cross builds run.
SANITIZE := $(BUILD)/sanitize
SANITIZE_FLAGS := -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all

sanitize: deps
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)"
	cmake --build $(SANITIZE) -j$(JOBS) --target PortableTests
	$(SANITIZE)/tests/PortableTests

# The release files: the product (i686) and its SHA-256 sum in sha256sum's format. The build is
# reproducible (tools/check-reproducible.sh), so anyone can rebuild the commit and compare the sum.
DIST := $(BUILD)/dist

dist: deps
	$(CONFIGURE) -B $(I686) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake
	cmake --build $(I686) -j$(JOBS) --target Ferrule
	mkdir -p $(DIST)
	cp $(I686)/app/Ferrule.exe $(DIST)/Ferrule.exe
	cd $(DIST) && sha256sum Ferrule.exe > Ferrule.exe.sha256
	@echo "$(DIST)/Ferrule.exe: $$(stat -c %s $(DIST)/Ferrule.exe) bytes"; cat $(DIST)/Ferrule.exe.sha256

clean:
	rm -rf $(BUILD)
