# Everyday commands; see README.md.
BUILD ?= build
SANITIZE_BUILD ?= build-asan
JOBS ?= 2
DEMO_DIR ?= $(BUILD)/demo

.PHONY: all build test test-release test-sanitize demo bench fuzz clean

# Warnings are errors in the test, sanitizer, fuzz and Windows test builds
# (CI runs those); `make` and `make demo` leave the build's setting as it
# is, off in a fresh build folder. WERROR=OFF on the command line turns it
# off everywhere.
WERROR_FLAG = $(if $(WERROR),-DMETCLUST_WERROR=$(WERROR))
test test-release test-sanitize fuzz test-windows: WERROR = ON

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DMETCLUST_TESTS=ON $(WERROR_FLAG)
	cmake --build $(BUILD) -j$(JOBS)

# Every test, on a Release build and on a build with AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: test-release test-sanitize

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

test-sanitize:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DMETCLUST_SANITIZE=ON -DMETCLUST_TESTS=ON \
	  $(WERROR_FLAG)
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j$(JOBS)

# Runs the bundled sample job in a folder of its own, answering the dialogue
# from examples/answers, and draws its dendrograms with metclust-plot.
demo: build
	rm -rf $(DEMO_DIR) && mkdir -p $(DEMO_DIR)
	cp examples/TRIAL.EMA examples/TRIAL.NAQ $(DEMO_DIR)/
	cd $(DEMO_DIR) && $(CURDIR)/$(BUILD)/metclust < $(CURDIR)/examples/answers
	@echo
	@echo "Output files of the sample job:"
	@for f in TRIAL.SCL TRIAL.CLS TRIAL.PCL; do echo "  $(CURDIR)/$(DEMO_DIR)/$$f"; done
	$(BUILD)/metclust-plot $(DEMO_DIR)/TRIAL > /dev/null
	@echo "Pictures of the sample job: $(CURDIR)/$(DEMO_DIR)/TRIAL.html"

bench:
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DMETCLUST_BENCH=ON -DMETCLUST_TESTS=OFF
	cmake --build $(BUILD)-bench -j$(JOBS)
	for b in $(BUILD)-bench/bench/*_bench; do $$b; done

# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS,
# one after the other (see fuzz/run.sh); CI runs them for a short time.
FUZZ_BUILD ?= build-fuzz
FUZZ_CXX ?= clang++-14
FUZZ_SECONDS ?= 600
fuzz:
	CXX=$(FUZZ_CXX) cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMETCLUST_FUZZ=ON -DMETCLUST_SANITIZE=ON -DMETCLUST_TESTS=OFF \
	  $(WERROR_FLAG)
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target reader_fuzz run_fuzz cluster_fuzz
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(BUILD)-bench build-fuzz build-windows

# Windows: metclust.exe cross-compiled with mingw-w64 and linked statically,
# and its tests run under Wine in a Wine prefix of its own.
WINDOWS_BUILD ?= build-windows
WINDOWS_PREFIX ?= $(abspath $(WINDOWS_BUILD))/wine-prefix

.PHONY: windows test-windows

windows:
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DMETCLUST_TESTS=OFF $(WERROR_FLAG)
	cmake --build $(WINDOWS_BUILD) -j$(JOBS) --target metclust

test-windows: windows
	WINEPREFIX=$(WINDOWS_PREFIX) python3 tests/windows/run_fixtures.py $(WINDOWS_BUILD)/metclust.exe
