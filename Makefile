# The README's two commands, `make demo` and `make test`, and the extra
# `make fuzz` and `make bench`. Each installs whatever Debian packages are
# missing, then builds.
JOBS ?= $(shell nproc)
# How long `make fuzz` runs each fuzz target.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = stop_words record_readings

.PHONY: demo test bench fuzz deps build build-asan

demo: build
	scripts/demo.sh

test: build build-asan
	-scripts/install-deps.sh browser
	ctest --test-dir build --output-on-failure -j $(JOBS)
	ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# Not one of the README's two commands: times the indexer at growing sizes,
# then catalogo cerca and catalogo servi on the largest catalogue.
bench: build
	scripts/install-deps.sh bench
	scripts/bench.sh
	scripts/bench-search.sh
	scripts/bench-serve.sh

deps:
	scripts/install-deps.sh build

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j $(JOBS)

build-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DINDICIZZA_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)

# Builds the libFuzzer targets with clang (ASan + UBSan) in build-fuzz/ and
# runs each for FUZZ_SECONDS, starting from the committed corpus. New inputs
# go to build-fuzz/corpus/<target>, crashing ones to build-fuzz/crash-*.
fuzz:
	scripts/install-deps.sh build fuzz
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	  -DINDICIZZA_SANITIZE=ON -DINDICIZZA_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build build-fuzz -j $(JOBS) $(addprefix --target fuzz_,$(FUZZ_TARGETS))
	set -e; for target in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$target; \
	  build-fuzz/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/crash-$$target- build-fuzz/corpus/$$target fuzz/corpus/$$target; \
	done
