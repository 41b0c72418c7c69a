# The README's two commands, `make demo` and `make test`; `make install` and
# `make package`; and the extra `make fuzz` and `make bench`. Each first
# installs whatever Debian packages it will need and are missing, all at once
# (scripts/install-deps.sh, told the command): as another user than root it
# prints the one command to run as root and stops before building anything.
JOBS ?= $(shell nproc)
# Where `make install` puts the programs, man pages and documentation.
PREFIX ?= /usr/local
# make test BROWSER=no leaves out the browser tests of catalogo servi (and
# the browser and nodejs, about 190 MB to download on a minimal system).
BROWSER ?= yes
export INDICIZZA_BROWSER := $(BROWSER)
# make's own "Entering directory" lines, in every make that cmake starts too,
# say nothing a reader needs.
MAKEFLAGS += --no-print-directory
# How long `make fuzz` runs each fuzz target.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = stop_words record_readings query tsv_rows btree_writer
# What is installed and packaged.
INSTALL_TARGETS = indicizza catalogo man_pages package_changelog

.PHONY: demo test install uninstall package bench fuzz deps deps-package deps-test deps-bench build \
	build-asan build-release build-tsan

# Builds only what the demo runs, in build/, showing the build's step
# counter on one line and its output only when it fails (it is kept in
# build/demo-build.log): a newcomer reads the demo, not the build.
demo: deps
	@echo "Building indicizza and catalogo in build/ (about a minute measured on 2 quiet" \
	  "cores; the build's output goes to build/demo-build.log)"
	@scripts/demo-build.sh $(JOBS)
	@scripts/demo.sh

# Builds in four configurations with warnings as errors: build/
# (RelWithDebInfo), build-asan/ (Debug, AddressSanitizer + UBSan),
# build-release/ (Release, as installed and packaged) and build-tsan/
# (ThreadSanitizer, the indexer and the tests of its threaded code only).
# Every test runs in the first two; in build-release only the package test,
# which checks what a user installs, so only what is installed and the demo
# catalogue's maker are built there (the whole suite a third time would add
# minutes for little); in build-tsan the tests of the threaded code (label
# "threads"). A configuration that fails does not stop the others: the
# failures are listed at the end (scripts/test-configurations.sh).
# Skipped tests are listed with their reason after each run. The browser
# tests need chromium and nodejs, which deps-test installs with the rest
# (unless BROWSER=no).
test: deps-test
	MAKE="$(MAKE)" scripts/test-configurations.sh $(JOBS)

# Warnings as errors: on in make test's builds. make demo, make install and
# make package share build/ and build-release/ with make test, and the
# option is a compile flag of every object, so a change of its value
# recompiles the folder. They keep it on where make test configured the
# folder (its cache says so), and reuse what make test built as it is: it
# passed with warnings as errors, so only a source changed since could stop
# them with a warning. In a folder make test has not configured they build
# with it off, so that a newer compiler's new warning never stops someone who
# only builds (make demo, quickly too: scripts/demo-build.sh); make test then
# compiles that folder again (objects compiled without -Werror prove nothing
# about warnings). Before building, make install and make package say which
# of the two it is.
release_werror = $(if $(shell grep -sx 'INDICIZZA_WERROR:BOOL=ON' build-release/CMakeCache.txt),ON,OFF)
release_note = $(if $(filter ON,$(release_werror)),"build-release/: reused as make test built it" \
  "(with warnings as errors; only what changed since is compiled)", \
  $(if $(wildcard build-release/CMakeCache.txt),"build-release/: reused as make install or" \
  "make package built it","build-release/: a Release build of the programs and man pages" \
  "(a few minutes on 2 cores; make test compiles it again, with warnings as errors)"))

# Installs the Release build under PREFIX (DESTDIR is honoured too).
install: deps
	@echo $(release_note)
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DINDICIZZA_WERROR=$(release_werror) \
	  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
	cmake --build build-release -j $(JOBS) --target $(INSTALL_TARGETS)
	scripts/install.sh build-release $(PREFIX)

# Removes what make install put in place (its list: build-release/install_manifest.txt),
# and the folders it made that are left empty.
uninstall:
	scripts/uninstall.sh build-release

# Writes build-release/indicizza_<version>_amd64.deb.
package: deps-package
	@echo $(release_note)
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DINDICIZZA_WERROR=$(release_werror) \
	  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
	cmake --build build-release -j $(JOBS) --target $(INSTALL_TARGETS)
	cd build-release && cpack

# Not one of the README's two commands: times the indexer at growing sizes,
# on the workloads staff run and against the library floor, then catalogo
# cerca and catalogo servi on the largest catalogue.
bench: deps-bench
	@$(MAKE) build
	scripts/bench.sh
	scripts/bench-workloads.sh
	scripts/bench-floor.sh
	scripts/bench-search.sh
	scripts/bench-verify.sh
	scripts/bench-serve.sh

deps:
	@scripts/install-deps.sh --for demo

# The tests build the package too, and check the code's layout.
deps-package:
	@scripts/install-deps.sh --for package

# Every package make test needs, the browser's too (unless BROWSER=no), in
# one list: a user goes to root once.
deps-test:
	@scripts/install-deps.sh --for test

deps-bench:
	@scripts/install-deps.sh --for bench

# Line tables only (-g1), as in the sanitizer builds: a backtrace or a
# profile still names each frame's function, file and line, and the folder
# compiles in about 11% less processor time (318 -> 283 s on 2 cores).
build: deps-package
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DINDICIZZA_WERROR=ON \
	  -DINDICIZZA_QUICK_BUILD=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
	cmake --build build -j $(JOBS)

build-asan: deps-package
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DINDICIZZA_SANITIZE=ON -DINDICIZZA_WERROR=ON
	cmake --build build-asan -j $(JOBS)

# Release: what is installed and packaged, and what the package test runs.
# Installing and packaging there build nothing more (the library's install
# would otherwise build every target first, the tests too): each of the
# three targets that use build-release builds what it installs itself.
build-release: deps-package
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DINDICIZZA_WERROR=ON \
	  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
	cmake --build build-release -j $(JOBS) --target $(INSTALL_TARGETS) demo-catalogue

# ThreadSanitizer: only the indexer and the tests of its threaded code
# (indicizza_threaded_tests and indicizza_full_disk_tests, whose tests all
# carry the label "threads": see tests/CMakeLists.txt).
build-tsan: deps-package
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DINDICIZZA_THREAD_SANITIZE=ON \
	  -DINDICIZZA_WERROR=ON -DINDICIZZA_MAN_PAGES=OFF
	cmake --build build-tsan -j $(JOBS) --target indicizza indicizza_threaded_tests \
	  indicizza_full_disk_tests

# Builds the libFuzzer targets with clang (ASan + UBSan) in build-fuzz/ and
# runs each for FUZZ_SECONDS, starting from the committed corpus. New inputs
# go to build-fuzz/corpus/<target>, crashing ones to build-fuzz/crash-*.
fuzz:
	@scripts/install-deps.sh --for fuzz
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	  -DINDICIZZA_SANITIZE=ON -DINDICIZZA_FUZZ=ON -DBUILD_TESTING=OFF -DINDICIZZA_WERROR=ON
	cmake --build build-fuzz -j $(JOBS) $(addprefix --target fuzz_,$(FUZZ_TARGETS))
	set -e; for target in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$target; \
	  build-fuzz/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/crash-$$target- build-fuzz/corpus/$$target fuzz/corpus/$$target; \
	done
