# The two commands a new machine needs: `make test` and `make demo`.
# Both install what is missing first (tools/setup.sh), quickly when all is there.
.PHONY: all setup build test demo bench clean

CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
JOBS ?= $(shell nproc)

all: build

setup:
	@bash tools/setup.sh

# build/ holds the shipped 32-bit library (build/Kavro.FLL) and its 32-bit
# programs; build/win64/ the 64-bit build of the same sources, which the tests
# use on machines that cannot run 32-bit code.
build: setup
	@test -f build/CMakeCache.txt || cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build build -j $(JOBS) > build/.build.log 2>&1 || { cat build/.build.log; exit 1; }
	@if [ "$$(cat build/.test-arch)" = 64 ]; then \
	  test -f build/win64/CMakeCache.txt || cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake $(CMAKE_FLAGS) >/dev/null; \
	  cmake --build build/win64 -j $(JOBS) > build/win64/.build.log 2>&1 || { cat build/win64/.build.log; exit 1; }; \
	fi

test: build
	@tools/run-tests

demo: build
	@tools/kavrosh --echo examples/tour.prg

# Every kernel once for each processor path this machine has (tools/run-bench).
bench: build
	@tools/run-bench

clean:
	rm -rf build
