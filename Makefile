# Everyday commands; see README.md.
BUILD ?= build
SANITIZE_BUILD ?= build-asan
JOBS ?= 2
DEMO_DIR ?= $(BUILD)/demo
PREFIX ?= /usr/local
# Locations the work arrays hold (METCLUST_MAX_LOCATIONS): 411 is the
# program's own work space, which the tests expect.
MAX_LOCATIONS ?= 411
MAKEFLAGS += --no-print-directory

.PHONY: all build programs test test-release test-sanitize demo install bench fuzz clean \
  r python bindings-job r-package python-package bench-packages

# Warnings are errors in the test, sanitizer, fuzz and Windows test builds
# (CI runs those); `make` and `make demo` leave the build's setting as it
# is, off in a fresh build folder. WERROR=OFF on the command line turns it
# off everywhere.
WERROR_FLAG = $(if $(WERROR),-DMETCLUST_WERROR=$(WERROR))
test test-release test-sanitize fuzz test-windows: WERROR = ON

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DMETCLUST_TESTS=ON \
	  -DMETCLUST_MAX_LOCATIONS=$(MAX_LOCATIONS) $(WERROR_FLAG)
	cmake --build $(BUILD) -j$(JOBS)

# Every test, on a Release build and on a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the R and Python packages' (each skipped,
# with the reason, where its tools are missing).
test: test-release test-sanitize r python

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

test-sanitize:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DMETCLUST_SANITIZE=ON -DMETCLUST_TESTS=ON \
	  -DMETCLUST_MAX_LOCATIONS=$(MAX_LOCATIONS) $(WERROR_FLAG)
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j$(JOBS)

# Builds the targets $(2) ($(1) in the message) in $(BUILD), no test suite
# unless $(3) is ON. What cmake prints goes to a log that is shown only when
# the build fails. A first configuration leaves the test suites out, so that
# the programs build without GoogleTest; `make test` adds them later. The
# fixture runner of the tests (run_fixtures) needs them configured.
PROGRAMS_LOG = $(BUILD)/programs.log
define build_programs
	@echo "Building $(1) in $(BUILD)/ (cmake's output: $(PROGRAMS_LOG))"
	@mkdir -p $(BUILD)
	@{ cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DMETCLUST_MAX_LOCATIONS=$(MAX_LOCATIONS) \
	    $(if $(3),-DMETCLUST_TESTS=$(3),$(if $(wildcard $(BUILD)/CMakeCache.txt),,-DMETCLUST_TESTS=OFF)) && \
	  cmake --build $(BUILD) -j$(JOBS) --target $(2); } > $(PROGRAMS_LOG) 2>&1 || \
	  { cat $(PROGRAMS_LOG); echo "Building failed; the log is $(PROGRAMS_LOG)"; exit 1; }
endef

# Every program of the project: metclust, metclust-plot and each other
# metclust-* program (the CMake target `programs`).
programs:
	$(call build_programs,every program,programs)

# Runs the bundled sample job from the command line, its output files going
# to a folder of their own, and draws its dendrograms with metclust-plot.
demo:
	$(call build_programs,metclust and metclust-plot,metclust metclust-plot)
	@rm -rf $(DEMO_DIR) && mkdir -p $(DEMO_DIR)
	@$(BUILD)/metclust --quiet --strategy 3 --output $(DEMO_DIR) examples/TRIAL
	@echo "The sample job examples/TRIAL.EMA, clustered by group average (strategy 3):"
	@for f in TRIAL.SCL TRIAL.CLS TRIAL.PCL; do echo "  $(abspath $(DEMO_DIR))/$$f"; done
	@echo "Its dendrograms, a picture for each year on one page:"
	@printf "  " && $(BUILD)/metclust-plot $(abspath $(DEMO_DIR))/TRIAL

# Installs every program into $(PREFIX)/bin; the install rules of
# CMakeLists.txt name them.
install: programs
	@cmake --install $(BUILD) --prefix $(PREFIX)

# The Google Benchmark programs, then the agglomeration loop side by side
# with R's fastcluster (bench/versus_fastcluster.R) when R has it; without
# it, one line says why that part is skipped.
bench:
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DMETCLUST_BENCH=ON -DMETCLUST_TESTS=OFF
	cmake --build $(BUILD)-bench -j$(JOBS)
	for b in $(BUILD)-bench/bench/*_bench; do $$b; done
	@if ! command -v Rscript >/dev/null; then \
	  echo "versus fastcluster: skipped, R is not installed (apt-get install r-base-core r-cran-fastcluster)"; \
	elif ! Rscript -e 'suppressPackageStartupMessages(library(fastcluster))' >/dev/null 2>&1; then \
	  echo "versus fastcluster: skipped, R package fastcluster not installed (apt-get install r-cran-fastcluster)"; \
	else \
	  Rscript bench/versus_fastcluster.R $(BUILD)-bench/bench/agglom_timer; \
	fi
	@$(MAKE) bench-packages

# The packages beside the tools R and Python users have: mc_hclust with
# stats::hclust and fastcluster::hclust, metclust.linkage with scipy (and
# fastcluster); each side skipped, with the reason, when it cannot be built.
bench-packages:
	@$(if $(R_MISSING),echo "R package timing: skipped: $(R_MISSING)",\
	  mkdir -p $(R_LIB) && R CMD INSTALL --library=$(R_LIB) r >$(BUILD)/r-install.log 2>&1 && \
	  R_LIBS=$(abspath $(R_LIB)) Rscript bench/packages.R)
	@$(if $(PYTHON_MISSING),echo "Python package timing: skipped: $(PYTHON_MISSING)",\
	  $(PACKAGE_PYTHON) -m venv --system-site-packages $(VENV) && \
	  $(VENV)/bin/pip install --quiet --no-build-isolation --no-deps ./python && \
	  $(VENV)/bin/python bench/packages.py)

# The R and Python packages (r/, python/), built from the engine's folders of
# src/ and tested against stats::hclust and scipy, and on a small job that
# the programs make from the matrices of tests/bindings/. R: installed into
# $(R_LIB), then R CMD build and R CMD check (which runs the testthat tests)
# in $(R_CHECK); a warning or an error fails. Python: installed with pip
# into the virtual environment $(VENV) (Debian's python3 and its packages,
# no network), then pytest.
R_LIB ?= $(BUILD)/r-lib
R_CHECK ?= $(BUILD)/r-check
VENV ?= $(BUILD)/venv
PACKAGE_PYTHON ?= /usr/bin/python3
BINDINGS_JOB = $(abspath $(BUILD)/bindings/JOB)
BINDINGS_ENV = METCLUST_TEST_JOB=$(BINDINGS_JOB) METCLUST_TEST_MATRICES=$(abspath tests/bindings)

R_MISSING = $(shell command -v Rscript >/dev/null || echo "R is not installed (apt-get install r-base-core r-cran-rcpp r-cran-testthat)"; \
  command -v Rscript >/dev/null && ! Rscript -e 'library(Rcpp); library(testthat)' >/dev/null 2>&1 && \
  echo "R has no Rcpp or testthat (apt-get install r-cran-rcpp r-cran-testthat)")
PYTHON_MISSING = $(shell $(PACKAGE_PYTHON) -c 'import pybind11, setuptools, pytest, scipy, venv' >/dev/null 2>&1 || \
  echo "$(PACKAGE_PYTHON) lacks pybind11, setuptools, pytest, scipy or venv (apt-get install pybind11-dev python3-pybind11 python3-setuptools python3-pytest python3-scipy python3-venv)")

r:
	@$(if $(R_MISSING),echo "R package: skipped: $(R_MISSING)",$(MAKE) r-package)

python:
	@$(if $(PYTHON_MISSING),echo "Python package: skipped: $(PYTHON_MISSING)",$(MAKE) python-package)

# The packages' test job: three years of full names (one year of a single
# location), imported and clustered by group average.
bindings-job:
	$(call build_programs,metclust and metclust-import for the packages' test job,metclust metclust-import)
	@rm -rf $(BUILD)/bindings && mkdir -p $(BUILD)/bindings
	@$(BUILD)/metclust-import --title "Bindings test job" --matrix 1988=tests/bindings/m1988.csv \
	  --matrix 1989=tests/bindings/m1989.csv --matrix 1990=tests/bindings/m1990.csv $(BINDINGS_JOB) >/dev/null
	@$(BUILD)/metclust --quiet --strategy 3 --output $(BUILD)/bindings $(BINDINGS_JOB)

r-package: bindings-job
	@mkdir -p $(R_LIB)
	R CMD INSTALL --library=$(R_LIB) r
	@# configure has copied the engine into r/src/engine: the tarball carries it.
	rm -rf $(R_CHECK) && mkdir -p $(R_CHECK)
	cd $(R_CHECK) && R CMD build $(abspath r)
	cd $(R_CHECK) && $(BINDINGS_ENV) _R_CHECK_FORCE_SUGGESTS_=false \
	  R CMD check --no-manual metclust_*.tar.gz
	@! grep -E '^Status:.*(WARNING|ERROR)' $(R_CHECK)/metclust.Rcheck/00check.log

python-package: bindings-job
	$(PACKAGE_PYTHON) -m venv --system-site-packages $(VENV)
	$(VENV)/bin/pip install --quiet --no-build-isolation --no-deps ./python
	$(BINDINGS_ENV) $(VENV)/bin/python -m pytest -q -rs -p no:cacheprovider python/tests

# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS,
# one after the other (see fuzz/run.sh); CI runs them for a short time.
FUZZ_BUILD ?= build-fuzz
FUZZ_CXX ?= clang++-14
FUZZ_SECONDS ?= 600
fuzz:
	CXX=$(FUZZ_CXX) cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMETCLUST_FUZZ=ON -DMETCLUST_SANITIZE=ON -DMETCLUST_TESTS=OFF \
	  $(WERROR_FLAG)
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_targets
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(BUILD)-bench build-fuzz build-windows
	rm -rf r/src/engine python/build python/metclust.egg-info
	cd r && ./cleanup

# Windows: every program cross-compiled with mingw-w64 and linked statically,
# and tested under Wine in a Wine prefix of its own: the fixture jobs through
# metclust.exe, by the fixture runner of the Linux tests with Wine as its
# launcher, then a small job through every program, compared byte for byte
# with what the Linux programs (built in $(BUILD) with the runner) make of the
# same job (tests/windows/pipeline.py).
WINDOWS_BUILD ?= build-windows
WINDOWS_PREFIX ?= $(abspath $(WINDOWS_BUILD))/wine-prefix

.PHONY: windows test-windows

windows:
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DMETCLUST_MAX_LOCATIONS=$(MAX_LOCATIONS) -DMETCLUST_TESTS=OFF $(WERROR_FLAG)
	cmake --build $(WINDOWS_BUILD) -j$(JOBS) --target metclust metclust-plot metclust-export metclust-compare \
	  metclust-import metclust-check metclust-choose

test-windows: windows
	$(call build_programs,the Linux programs to compare with and the fixture runner,programs run_fixtures,ON)
	WINEPREFIX=$(WINDOWS_PREFIX) python3 tests/windows/wine_session.py $(BUILD)/tests/support/run_fixtures \
	  $(WINDOWS_BUILD)/metclust.exe --pipeline $(BUILD)
