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

.PHONY: all deps build test run clean sanitize bench fuzz dist

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
# Then the in-memory data sets against the standard library, under Wine (i686 where it runs); the
# text runtime against the C and C++ libraries; the installer's start-up against a minimal program.
bench: deps
	$(CONFIGURE) -B $(I686) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake
	cmake --build $(I686) -j$(JOBS) --target Ferrule
	cmake --build $(I686) --target bench
	$(CONFIGURE) -B $(X86_64) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake
	tools/bench-datasets.sh $(I686) $(X86_64)
	status=0; tools/bench-text.sh $(I686) $(X86_64) || status=1; \
		tools/with-display.sh tools/bench-startup.sh $(I686) $(X86_64) || status=1; exit $$status

# The platform-free tests under AddressSanitizer and UndefinedBehaviorSanitizer (part of `make test`), in a host tree of
# their own so the instrumented objects never reach the tools the cross builds run.
SANITIZE := $(BUILD)/sanitize
SANITIZE_FLAGS := -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all

sanitize: deps
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" -DFERRULE_FUZZ=replay
	cmake --build $(SANITIZE) -j$(JOBS) --target PortableTests FuzzReplay
	$(SANITIZE)/tests/PortableTests
	ctest --test-dir $(SANITIZE) -R '^fuzz\.' --output-on-failure

# Each parser of untrusted bytes under libFuzzer (clang-16, AddressSanitizer and
# UndefinedBehaviorSanitizer) for FUZZ_SECONDS each, one after the other, from its seed corpus
# (tests/fuzz/corpus); new inputs go to $(FUZZ)/corpus, crashes to $(FUZZ)/findings.
# FUZZ_TARGETS picks some (for example "FormStream PoFile").
FUZZ := $(BUILD)/fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
FUZZ_FLAGS := -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all

fuzz: deps
	cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-16 \
		-DCMAKE_CXX_COMPILER=clang++-16 -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$(FUZZ_FLAGS)" -DFERRULE_FUZZ=libfuzzer
	cmake --build $(FUZZ) -j$(JOBS) --target FuzzTargets
	tools/run-fuzz.sh $(FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

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
