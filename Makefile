# The two commands of the README: `make demo` and `make test`.
# Both install whatever Debian packages are missing, then build.
JOBS ?= $(shell nproc)

.PHONY: demo test bench deps build build-asan

demo: build
	scripts/demo.sh

test: build build-asan
	ctest --test-dir build --output-on-failure -j $(JOBS)
	ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# Not one of the README's two commands: times the indexer at growing sizes.
bench: build
	scripts/install-deps.sh bench
	scripts/bench.sh

deps:
	scripts/install-deps.sh build

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j $(JOBS)

build-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DINDICIZZA_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
